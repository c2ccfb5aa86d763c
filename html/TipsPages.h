#pragma once
// The two pages of the tips window. Their texts are rows 7 to 19 of the phrase
// table, so the pages themselves hold only layout and the word "MP3s".

#include <QString>

enum class TipsPage { Start = 1, Result = 2 };

// The page of the tips window for the main window's start or result page.
QString TipsPageTemplate(TipsPage page);
// The rows of the phrase table the pages show.
constexpr int FirstTipsRow = 7;
constexpr int LastTipsRow = 19;
