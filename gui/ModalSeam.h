#pragma once
// The deletion's dialogs are shown through here, so that a test can answer
// them the way a person would, with the dialog's own controls.

#include <QDialog>
#include <functional>

namespace ModalSeam {

// Tests: instead of being shown, each dialog goes to the answer, which may
// click its controls and returns the dialog's result (QDialog::Accepted or
// Rejected). An empty answer shows the dialogs again.
using Answer = std::function<int(QDialog &dialog)>;
void SetAnswer(Answer answer);

// Shows the dialog modally, or gives it to the test's answer.
int Exec(QDialog &dialog);

} // namespace ModalSeam
