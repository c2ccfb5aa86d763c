#include "gui/ModalSeam.h"

namespace ModalSeam {

namespace {
Answer &TheAnswer() {
    static Answer answer;
    return answer;
}
} // namespace

void SetAnswer(Answer answer) {
    TheAnswer() = std::move(answer);
}

int Exec(QDialog &dialog) {
    if (const Answer &answer = TheAnswer()) {
        const int result = answer(dialog);
        dialog.setResult(result);
        return result;
    }
    return dialog.exec();
}

} // namespace ModalSeam
