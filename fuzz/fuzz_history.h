#pragma once
// The statistics window's figures on whatever the open database and its review log hold.

// Reads reviews.log of the open data directory and computes every chart's figures, checking
// that the reader accounted for each byte of the file and that the backward pass over it agrees
// with the standing grades; aborts when either fails.
void fuzz_history_figures();
