#include "lang/MsgDlgUnit.h"
#include "search/SearchHost.h"

#include <QTest>

namespace {
class AnsweringHost : public SearchHost {
public:
    bool Answer = false;
    QStringList Shown;
    void ShowInfo(const QString &text) override { Shown << "info:" + text; }
    void ShowError(const QString &text) override { Shown << "error:" + text; }
    bool AskYesCancel(const QString &text) override {
        Shown << "ask:" + text;
        return Answer;
    }
};
} // namespace

class TestMsgDlgUnit : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        SetMessageBoxHandler(nullptr);
        SetHost(nullptr);
    }

    void withoutHandlerTheHostAnswers() {
        AnsweringHost host;
        SetHost(&host);
        QCOMPARE(ShowInfo("i"), int(mrOk));
        QCOMPARE(ShowError("e"), int(mrOk));
        QCOMPARE(AskYesCancel("q"), int(mrCancel));
        QCOMPARE(AskYesNo("q"), int(mrNo));
        host.Answer = true;
        QCOMPARE(AskYesNo("q"), int(mrYes));
        QCOMPARE(host.Shown, (QStringList{"info:i", "error:e", "ask:q", "ask:q", "ask:q"}));
    }

    void handlerAnswersEveryBox() {
        QList<int> buttons;
        QList<TMsgDlgType> types;
        SetMessageBoxHandler([&](const QString &, TMsgDlgType type, int set) {
            types << type;
            buttons << set;
            return int(mrYes);
        });
        QCOMPARE(AskYesCancel("q"), int(mrYes));
        ShowInfo("i");
        ShowError("e");
        AskYesNo("q");
        QCOMPARE(buttons, (QList<int>{mbYes | mbCancel, mbOK, mbOK, mbYes | mbNo}));
        QCOMPARE(types, (QList<TMsgDlgType>{TMsgDlgType::Confirmation, TMsgDlgType::Information,
                                            TMsgDlgType::Error, TMsgDlgType::Confirmation}));
    }
};

QTEST_GUILESS_MAIN(TestMsgDlgUnit)
#include "TestMsgDlgUnit.moc"
