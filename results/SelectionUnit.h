#pragma once
// Marks for many result rows at once: the row commands of the result list's
// popup, the selection by folders and the selection by properties. Whatever
// they do, every block they touch keeps a file that the deletion leaves
// alone: a row marked to stay that is another file than each row marked for
// deletion. Two names of one file (hard links) are one file here, so neither
// is ever the other's surviving copy.

#include "search/FileSearchUnit.h"

#include <QString>
#include <QStringList>
#include <vector>

// Back to the state the program starts with: no remembered folders, the
// property rules of the dialog's defaults.
void ResetSelections();

// ---------------------------------------------------------------- blocks

// The same file on disk under two names. Records without an identity are
// never the same file.
bool SameFile(const FileRecord &a, const FileRecord &b);
// True when every row of match list rows first..last marked Delete has a row
// marked Stay or StayNoDelete that is another file.
bool BlockKeepsACopy(int first, int last);

// ---------------------------------------------------------------- row commands

// The row's file becomes the one kept (StayNoDelete), every other row of its
// block is marked Delete. Rows whose file is gone or never existed (Deleted,
// Virtual) keep their marks, other names of the kept file stay. False when
// the row has no block or its own file is gone.
bool KeepOnlyThisFile(int row);
// Every row from this one to the end of the list marked Delete gets Stay.
// False when none changed.
bool RemoveSelectionsFrom(int row);

// ---------------------------------------------------------------- folders

// The states a folder can take; the numbers and icons of the marks they give.
enum FolderState : quint8 {
    FolderDefault = Stay,
    FolderNoDelete = StayNoDelete,
    FolderToDelete = Delete,
};

// The folders chosen for keeping and for deletion, remembered for the whole
// program run: sorted folder keys (Platform::FolderKey) ending in the
// delimiter. A folder is never in both.
const QStringList &KeepFolders();
const QStringList &DeleteFolders();

// The folder of a row's file, as the path spells it, ending in the delimiter.
QString RowFolder(int row);
// The popup's folder commands: the folder moves into one list and out of the other.
void SetFolderToDelete(const QString &folder);
void SetFolderNoDelete(const QString &folder);

// The folder rule on every block: files in a keep folder get StayNoDelete,
// files in a delete folder Delete; a block left without a copy gets one back
// (the file last marked Delete by hand outside the listed folders, else the
// first marked Delete now).
void ApplyFolderRule();

// One line of the folders dialog.
struct FolderItem {
    QString Folder; // as the paths spell it, ending in the delimiter
    quint8 State = FolderDefault;
    quint32 Color = 0; // hierarchy colour, 0x00BBGGRR
};

// Hierarchy colours: a folder tree in ever lighter shades of one colour, the
// next unrelated folder in the other family.
inline constexpr quint32 HierarchyBase[2] = {0x40F4FF, 0xFFF440};
inline constexpr quint32 HierarchyStep[2] = {0x400400, 0x000440};

// Every folder that holds a file of the result, once, sorted without regard
// to letter case, in its remembered state and with its hierarchy colour.
std::vector<FolderItem> ResultFolders();
void ApplyHierarchyColors(std::vector<FolderItem> &items);
// The dialog's buttons.
void SetStateWithSubfolders(std::vector<FolderItem> &items, int index, quint8 state);
void MarkAllFoldersToDelete(std::vector<FolderItem> &items);
void MarkNoFolderToDelete(std::vector<FolderItem> &items);
// Replaces both remembered lists by the items' states, so folders no longer
// in the result drop out.
void StoreFolderChoices(const std::vector<FolderItem> &items);

// ---------------------------------------------------------------- properties

// One criterion: a direction (0 none) and the points a file scores by it.
struct SelectionRule {
    quint8 Rule = 0;
    quint8 Points = 0;
    bool Active() const { return Rule > 0 && Points > 0; }
};

struct SelectionRules {
    SelectionRule Age;   // 1 delete older files, 2 younger
    SelectionRule Size;  // 1 delete smaller files, 2 larger
    SelectionRule Depth; // 1 delete files in upper folder levels, 2 deeper
    SelectionRule Copy;  // 1 delete files whose names point to a copy
    bool AnyActive() const {
        return Age.Active() || Size.Active() || Depth.Active() || Copy.Active();
    }
};

// What the properties dialog opens with.
inline constexpr SelectionRules DefaultSelectionRules{{1, 5}, {1, 3}, {0, 1}, {1, 1}};
// The rules the last confirmed dialog gave.
SelectionRules &SelectionOptions();

// The single digit in "(n)" at the first opening parenthesis of a name:
// "a (2).txt" gives 2; "(12)", "(x)" and no parenthesis give 0.
int CopyNumber(const QString &name);
// A name that reads like a copy: "(n)", "copy", "Kopie", or a backup or
// temporary extension.
bool LooksLikeCopy(const QString &name);

// Clears every Delete mark, then in each block scores the files marked Stay
// and marks all but the one with the fewest points that scored any.
void ApplyPropertyRules(const SelectionRules &rules);
