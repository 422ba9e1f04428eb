#include "host/frame_work.h"

namespace korvane::host {

void RunFrameWork() {}

}  // namespace korvane::host
