// The program's title, shown in captions and message boxes.
#pragma once

namespace vardell {
inline constexpr const char* kApplicationTitle = "Vardell v3.1.5";
}
