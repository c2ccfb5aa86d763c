#pragma once
// What the start page decides, apart from its widgets: how a typed percentage
// or limit is read, which caption the search button gets, how the fields are
// coloured, and how the folder history is kept. The window only applies these.

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace StartPageRules {

inline constexpr int LowestPercent = 60;
inline constexpr int HighestPercent = 100;
inline constexpr int PercentStep = 10;
// The folder box remembers this many folders.
inline constexpr int FolderHistoryLength = 10;
// The limit field holds at most this many characters.
inline constexpr int MaxFilesLength = 5;

// A typed percentage: the digits between the first and the last digit are
// read ("75 %" is 75); nothing readable counts as 100; clamped to 60..100.
int ParsePercent(const QString &text);
// The up and down buttons: the percentage rounded down to a multiple of ten,
// then one step, clamped.
int StepPercent(int percent, bool up);
QString PercentText(int percent);
// The further below 100 %, the redder the figure: 12 per point, at most 240.
int PercentRed(int percent);
// "inkl. 100%" only means something while the percentage is below 100.
bool IncludeHundredVisible(int percent);

// What the start page holds when the search button's caption is chosen.
struct FindCaptionInput {
    int ContentPercent = 100;
    bool Images = false;
    bool CompareContents = true;
    bool CompareNames = false;
    int NamePercent = 80;
    bool DifferentExts = false;
};
// The main window's phrase for the search button: 28 duplicates, 29 similar
// files, 43 similar pictures, 42 same names, 41 similar names.
int FindCaptionPhrase(const FindCaptionInput &input);

// The limit of duplicates as the search reads it: the digits of the trimmed
// text (0, no limit, when there are none or too many to mean anything).
int ParseMaxDuplicates(const QString &text);
// What the field shows after a search read it: empty for no limit.
QString MaxDuplicatesText(int limit);
// Whether the field, as typed, sets a limit at all (otherwise it is greyed).
bool MaxFilesGivesLimit(const QString &text);

// 0 all pairs, 1 only pairs from different folders, 2 only pairs from
// different base folders.
int FolderModeOf(bool differentSubfolders, bool differentBaseFolders);

// The folder history as it is saved: the current folder moves to the front
// when it is in the list already (a folder not in the list is not added here).
QStringList FolderHistoryToSave(const QStringList &items, const QString &current);
// A searched folder goes to the front of the history unless it is in it;
// the history keeps FolderHistoryLength folders.
QStringList FolderHistoryAfterSearch(const QStringList &items, const QString &folder);

// The title panels give up their room on small screens.
bool FilesTitleShrinks(int windowHeight);
bool MethodTitlesShrink(int windowHeight);

// The warning shown when the deletion lock is switched off: the lock text
// broken at the first blank from its middle, then the risk sentence.
QString LockWarningText(const QString &lockText, const QString &riskText);

// Folders given on the command line: the first and the second base folder.
struct StartFolders {
    QString First;
    QString Second;
};
StartFolders StartFoldersOf(const QStringList &arguments);

} // namespace StartPageRules
