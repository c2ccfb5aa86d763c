#pragma once
// Every file and folder dialog of the windows goes through here, so that a
// test can give the answer a person would choose.

#include <QString>

class QWidget;

namespace FileDialogs {

// The chosen folder with a trailing "/", or empty when cancelled.
QString GetExistingFolder(QWidget *parent, const QString &prompt, const QString &start);
// The chosen file, or empty when cancelled.
QString GetOpenFileName(QWidget *parent, const QString &caption, const QString &start,
                        const QString &filter);
QString GetSaveFileName(QWidget *parent, const QString &caption, const QString &start,
                        const QString &filter, QString *selectedFilter = nullptr);

// Tests: the next dialog returns this at once without showing (empty: cancel).
void SetNextAnswer(const QString &answer);
void ClearNextAnswer();
// The same seam under the names a folder or a file dialog's test reads best with.
inline void SetNextFolder(const QString &folder) {
    SetNextAnswer(folder);
}
inline void SetNextFileName(const QString &fileName) {
    SetNextAnswer(fileName);
}
// Tests: with answers only, a dialog without a next answer is cancelled
// instead of shown, so that a test can never hang on one.
void SetAnswersOnly(bool answersOnly);
// How many dialogs were asked for since the program started.
int DialogsAsked();

} // namespace FileDialogs
