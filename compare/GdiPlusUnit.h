#pragma once
// Image decoding through Qt's image readers.

// Gives back the memory kept from decoding the largest image so far.
void ReleaseImageCache();
