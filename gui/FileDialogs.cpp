#include "gui/FileDialogs.h"

#include "platform/Platform.h"

#include <QFileDialog>
#include <optional>

namespace FileDialogs {

namespace {
std::optional<QString> NextAnswer;
bool AnswersOnly = false;
int Asked = 0;

// The answer a test set, taken once.
std::optional<QString> TakeNextAnswer() {
    ++Asked;
    std::optional<QString> answer = NextAnswer;
    NextAnswer.reset();
    if (!answer && AnswersOnly)
        answer = QString();
    return answer;
}
} // namespace

QString GetExistingFolder(QWidget *parent, const QString &prompt, const QString &start) {
    std::optional<QString> folder = TakeNextAnswer();
    if (!folder)
        folder = QFileDialog::getExistingDirectory(parent, prompt, start);
    return Platform::WithTrailingDelimiter(*folder);
}

QString GetOpenFileName(QWidget *parent, const QString &caption, const QString &start,
                        const QString &filter) {
    if (std::optional<QString> answer = TakeNextAnswer())
        return *answer;
    return QFileDialog::getOpenFileName(parent, caption, start, filter);
}

QString GetSaveFileName(QWidget *parent, const QString &caption, const QString &start,
                        const QString &filter, QString *selectedFilter) {
    if (std::optional<QString> answer = TakeNextAnswer())
        return *answer;
    return QFileDialog::getSaveFileName(parent, caption, start, filter, selectedFilter);
}

void SetNextAnswer(const QString &answer) {
    NextAnswer = answer;
}

void ClearNextAnswer() {
    NextAnswer.reset();
}

void SetAnswersOnly(bool answersOnly) {
    AnswersOnly = answersOnly;
}

int DialogsAsked() {
    return Asked;
}

} // namespace FileDialogs
