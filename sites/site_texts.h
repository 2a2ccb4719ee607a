// Texts the site routines show, in GBK (their patterns and markers are in
// site_patterns.h). Kept in one place so that the routines and their tests
// name the same bytes.
#pragma once

#include <string_view>

#include "text/text.h"

namespace sorvix::site_text {

// Status labels.
inline constexpr std::string_view kNoOperation =
    "\xD4\xDD\xCA\xB1\xC3\xBB\xD3\xD0\xC8\xCE\xBA\xCE\xB2\xD9\xD7\xF7";        // 暂时没有任何操作
inline constexpr std::string_view kTryingToReach =
    "\xD5\xFD\xD4\xDA\xB3\xA2\xCA\xD4\xB7\xC3\xCE\xCA....";                    // 正在尝试访问....
inline constexpr std::string_view kSearching = "\xCB\xD1\xCB\xF7\xD6\xD0....";  // 搜索中....
inline constexpr std::string_view kSearchFinished =
    "\xCB\xD1\xCB\xF7\xCD\xEA\xB1\xCF\xA3\xA1";                                // 搜索完毕！
// The reset text of the data label lacks the "有" of its start-up text.
inline constexpr std::string_view kNoData =
    "\xD4\xDD\xCA\xB1\xC3\xBB\xC8\xCE\xBA\xCE\xCA\xFD\xBE\xDD";                // 暂时没任何数据
inline constexpr std::string_view kDataObtainedHead = "\xD2\xD1\xBB\xF1\xC8\xA1\xCA\xFD\xBE\xDD";  // 已获取数据
inline constexpr std::string_view kDataObtainedTail = "\xB8\xF6";                                  // 个

// Not-found message: head + phrase + tail.
inline constexpr std::string_view kNotFoundHead =
    "\xBA\xDC\xB1\xA7\xC7\xB8, \xC3\xBB\xD3\xD0\xD5\xD2\xB5\xBD\xD3\xD0\xB9\xD8  ";  // 很抱歉, 没有找到有关␣␣
inline constexpr std::string_view kNotFoundTail = "  \xB5\xC4\xBD\xE1\xB9\xFB\xA1\xA3";  // ␣␣的结果。

// Closing message: head + count + tail. The share-index routine's tail has no final "！".
inline constexpr std::string_view kFoundHead = "\xB9\xB2\xD5\xD2\xB5\xBD  ";  // 共找到␣␣
inline constexpr std::string_view kFoundTailMenu =
    "  \xB8\xF6\xC4\xDA\xC8\xDD\xA1\xA3\r\n\r\n\r\n\r\n"
    "\xD3\xD2\xBC\xFC\xB5\xAF\xB3\xF6\xB2\xCB\xB5\xA5\xA3\xA1";  // ␣␣个内容。\r\n×4 右键弹出菜单！
inline constexpr std::string_view kFoundTailMenuNoMark =
    "  \xB8\xF6\xC4\xDA\xC8\xDD\xA1\xA3\r\n\r\n\r\n\r\n"
    "\xD3\xD2\xBC\xFC\xB5\xAF\xB3\xF6\xB2\xCB\xB5\xA5";          // ␣␣个内容。\r\n×4 右键弹出菜单

inline constexpr std::string_view kDontKnow = "\xB2\xBB\xD6\xAA";  // 不知

// "已获取数据" + n + "个"
inline Text DataObtained(int rows) {
    return Text(kDataObtainedHead) + ToDecimalText(rows) + Text(kDataObtainedTail);
}

}  // namespace sorvix::site_text
