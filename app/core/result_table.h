// The result table's fixed shape and the status labels' start-up texts, for
// whoever builds the main window (and for views that stand in for it).
// Column 6 holds the entry's link with width 0: not seen, but its cells are
// kept and read by the row actions. Covered by tests/app/search_flow_test.cpp.
#pragma once

#include <array>
#include <string_view>

#include "app/core/app_view.h"

namespace sorvix {

struct ResultColumn {
    std::string_view heading;   // GBK
    int width;                  // pixels
};

inline constexpr std::array<ResultColumn, kColumnCount> kResultColumns = {{
    {"\xD0\xF2\xBA\xC5", 40},                    // 序号
    {"\xCE\xC4\xBC\xFE\xC3\xFB\xB3\xC6", 280},   // 文件名称
    {"\xCA\xD5\xC2\xBC\xCA\xB1\xBC\xE4", 100},   // 收录时间
    {"\xCE\xC4\xBC\xFE\xB4\xF3\xD0\xA1", 100},   // 文件大小
    {"\xCE\xC4\xBC\xFE\xCA\xFD\xC1\xBF", 80},    // 文件数量
    {"\xB4\xC5\xC1\xA6\xC1\xB4\xBD\xD3", 0},     // 磁力链接 (hidden link column)
    {"\xCE\xC4\xBC\xFE\xC0\xE0\xD0\xCD", 80},    // 文件类型
    {"\xCD\xF8\xC5\xCC\xC0\xE0\xD0\xCD", 80},    // 网盘类型
}};

// Texts of the two status labels when the window is built.
inline constexpr std::string_view kStartOperationText =
    "\xD4\xDD\xCA\xB1\xC3\xBB\xD3\xD0\xC8\xCE\xBA\xCE\xB2\xD9\xD7\xF7";   // 暂时没有任何操作
inline constexpr std::string_view kStartDataText =
    "\xD4\xDD\xCA\xB1\xC3\xBB\xD3\xD0\xC8\xCE\xBA\xCE\xCA\xFD\xBE\xDD";   // 暂时没有任何数据
inline constexpr std::string_view kStartPageText = "1";

}  // namespace sorvix
