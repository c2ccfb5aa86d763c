#include "search/CompareDriver.h"

#include "compare/FileCompareUnit.h"
#include "compare/ImageCompareUnit.h"
#include "run/RunControl.h"
#include "search/ChangedFiles.h"
#include "search/ExactDriver.h"
#include "search/MainPhrases.h"
#include "search/MatchList.h"
#include "search/PairwiseLoop.h"
#include "search/SimilarityDriver.h"

int RunCompare(RunOutcome &outcome, bool includeHundred) {
    outcome = RunOutcome::Completed;
    int matches = 0;
    ClearMatchList();
    ResetImageDatabase();
    FileList &table = FileTable();
    const SearchOptions options = Context().Options;
    SetComparePrefix(GetPhrase(MainFormPhrases(), 6) + QStringLiteral(": "));
    if (!table.empty()) {
        if (options.ContentPercent == 100 && !AllocCompareBuffers()) {
            Host().ShowError(GetPhrase(MainFormPhrases(), 5));
            return 0;
        }
        const int count = int(table.size());
        SetProgress(0, count - 2 >= 1 ? count - 2 : 1);
        ProcessMessages();
        if (options.ContentPercent < 100)
            matches = SimilarityDriver(options, includeHundred, outcome);
        else
            matches = ExactDriver(options, outcome);
        FreeCompareBuffers();
        SetProgress(ProgressMaximum(), ProgressMaximum());
        ProcessMessages();
    }
    if (outcome != RunOutcome::Terminated) {
        // What the contents were compared by must still hold for every file
        // shown; a names search says nothing about contents.
        if (options.CompareContents)
            matches -= LeaveOutChangedFiles();
        BuildMatchList();
        // Also after a scan that found nothing to compare: every finished
        // search says what it found. A failed one has said what went wrong.
        if (MatchList().empty() && outcome != RunOutcome::Failed) {
            const QString none = GetPhrase(MainFormPhrases(), 38);
            Host().AddStatusLine(none);
            Host().ShowInfo(none);
        }
    }
    SetProgress(0, ProgressMaximum());
    return matches;
}
