#pragma once
// The result of a search: blocks of entries, each block's head first, built
// from the file table once the compare is done.

#include "search/FileSearchUnit.h"

#include <array>

// Background colours of consecutive blocks, 0x00BBGGRR: white and a light
// colour alternate, so a block start can be told from the colour alone.
inline constexpr std::array<quint32, 6> BlockColors = {0xFFFFFF, 0xD0FFD0, 0xFFFFFF,
                                                       0xD0D0FF, 0xFFFFFF, 0xE0E0E0};

// Owns its records until the next run clears it.
FileList &MatchList();
void ClearMatchList();
// What the last BuildMatchList returned, so the result list gets its
// horizontal extent without measuring every row again; 0 after a clear.
int MatchListWidth();

// Moves the blocks out of the file table into the match list (heads in table
// order, each followed by its members in table order) and frees the rest of
// the table. Returns the widest entry's pixel width plus 20.
int BuildMatchList();
