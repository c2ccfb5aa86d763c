#pragma once
// Files that changed on disk between the scan and the end of the compare.

// Checks every file in a block once more against what the scan saw: the same
// file, with the same size and last-write time. Each changed file leaves its
// block with one notice through the host; a block whose head changed is given
// up whole, and a block left with its head alone goes. Returns how many
// members left their blocks.
int LeaveOutChangedFiles();
