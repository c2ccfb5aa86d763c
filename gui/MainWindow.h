#pragma once
// The program's only working window: the start page where a search is set up,
// and the result page that shows its progress and then its result.

#include <QMainWindow>

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;
};
