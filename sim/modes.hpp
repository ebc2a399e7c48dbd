// The frame modes the simulated device supports.
#pragma once

#include <libfreenect.h>

namespace ksim {

// The mode record for a resolution and format; an unsupported combination
// gives a record with is_valid 0 that keeps the resolution and format.
freenect_frame_mode find_depth_mode(freenect_resolution res, freenect_depth_format fmt);
freenect_frame_mode find_video_mode(freenect_resolution res, freenect_video_format fmt);

int depth_mode_count();
int video_mode_count();
freenect_frame_mode depth_mode_at(int i);  // invalid record when out of range
freenect_frame_mode video_mode_at(int i);

}  // namespace ksim
