#include "results/Engine.h"

#include "compare/FileCompareUnit.h"
#include "compare/FilterUnit.h"
#include "compare/ImageCompareUnit.h"
#include "compare/ImageDecoder.h"
#include "compare/StreamUnit.h"
#include "lang/IniDatei.h"
#include "lang/MsgDlgUnit.h"
#include "lang/MultiLingua.h"
#include "lang/SelfLoadSectionsUnit.h"
#include "results/DeletionUnit.h"
#include "results/ResultListUnit.h"
#include "results/SelectionUnit.h"
#include "run/RunControl.h"
#include "search/FileSearchUnit.h"
#include "search/MatchList.h"
#include "search/PairwiseLoop.h"
#include "search/SearchContext.h"

void ResetEngine() {
    SetRunState(RunStateValue::Idle);
    ResetSearchContext();
    ClearFileTable();
    ClearMatchList();
    ResetPairwiseLoop();
    ResetFileCompare();
    ResetStreamUnit();
    ResetFilter();
    ResetImageCompare();
    ResetImageDecoder();
    ResetResultList();
    ResetSelections();
    ResetDeletion();
    ResetPhraseSystem();
    ResetSettings();
    ResetSections();
    SetMessageBoxHandler(nullptr);
}

void CloseEngine() {
    SaveSettings();
    ResetImageDatabase();
}
