// The invented catalogue behind every simulated site (see dataset.h).
#include "tools/sitesim/dataset.h"

#include <cstdio>
#include <cstdint>

namespace sorvix::sitesim {

namespace {

std::string Fmt(const char* f, int a, int b = 0) {
    char buf[256];
    std::snprintf(buf, sizeof buf, f, a, b);
    return buf;
}

std::string Date(int seed) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "20%02d-%02d-%02d", 12 + seed % 6, 1 + seed % 12, 1 + (seed * 7) % 28);
    return buf;
}

std::string Size(int seed) {
    static const char* const kUnits[] = {"MB", "GB"};
    char buf[32];
    int whole = 1 + (seed * 37) % 900;
    int unit = seed % 3 == 0 ? 1 : 0;
    if (unit == 1) whole = 1 + whole % 9;
    std::snprintf(buf, sizeof buf, "%d.%d %s", whole, (seed * 3) % 10, kUnits[unit]);
    return buf;
}

const char* const kDisks[] = {
    "\xE7\x99\xBE\xE5\xBA\xA6\xE7\xBD\x91\xE7\x9B\x98",  // 百度网盘
    "\xE5\x8D\x8E\xE4\xB8\xBA\xE7\xBD\x91\xE7\x9B\x98",  // 华为网盘
    "360\xE4\xBA\x91\xE7\x9B\x98",                      // 360云盘
    "115\xE7\xBD\x91\xE7\x9B\x98",                      // 115网盘
};

struct Builder {
    std::vector<Resource> items;
    void Add(std::string name, int category, int files = 1) {
        Resource r;
        r.id = 10001 + static_cast<int>(items.size());
        int seed = r.id;
        r.name = std::move(name);
        r.date = Date(seed);
        r.size = Size(seed);
        r.fileCount = files;
        r.category = category;
        r.disk = kDisks[seed % 4];
        items.push_back(std::move(r));
    }
};

std::vector<Resource> Build() {
    Builder b;
    // 三体: 25 resources over novels, radio plays and audio books.
    b.Add("\xE4\xB8\x89\xE4\xBD\x93 \xE5\x85\xA8\xE9\x9B\x86 \xE5\x88\x98\xE6\x85\x88\xE6\xAC\xA3 txt+epub", 4, 3);  // 三体 全集 刘慈欣
    for (int i = 1; i <= 18; ++i) {
        // 三体 广播剧 第NN集.mp3
        b.Add(Fmt("\xE4\xB8\x89\xE4\xBD\x93 \xE5\xB9\xBF\xE6\x92\xAD\xE5\x89\xA7 \xE7\xAC\xAC%02d\xE9\x9B\x86.mp3", i), 2);
    }
    for (int i = 1; i <= 6; ++i) {
        // 三体 全集 有声书 N.rar
        b.Add(Fmt("\xE4\xB8\x89\xE4\xBD\x93 \xE5\x85\xA8\xE9\x9B\x86 \xE6\x9C\x89\xE5\xA3\xB0\xE4\xB9\xA6 %d.rar", i), 6, 40 + i);
    }
    // ubuntu: 20 releases x 5 images = exactly 100 resources (ten magnet pages).
    static const char* const kImages[] = {"desktop-amd64", "desktop-i386", "server-amd64", "server-i386",
                                          "alternate-i386"};
    for (int year = 8; year <= 17; ++year) {
        for (int month : {4, 10}) {
            for (const char* image : kImages) {
                char buf[96];
                std::snprintf(buf, sizeof buf, "ubuntu-%d.%02d-%s.iso", year, month, image);
                b.Add(buf, 5);
            }
        }
    }
    // 纪录片 地球脉动: 11 episodes of the first season, 6 of the second.
    for (int i = 1; i <= 11; ++i) {
        // 纪录片 地球脉动 第N集 BBC 1080p.mkv
        b.Add(Fmt("\xE7\xBA\xAA\xE5\xBD\x95\xE7\x89\x87 \xE5\x9C\xB0\xE7\x90\x83\xE8\x84\x89\xE5\x8A\xA8 "
                  "\xE7\xAC\xAC%d\xE9\x9B\x86 BBC 1080p.mkv", i),
              1);
    }
    for (int i = 1; i <= 6; ++i) {
        // 纪录片 地球脉动 第二季 EPNN.mp4
        b.Add(Fmt("\xE7\xBA\xAA\xE5\xBD\x95\xE7\x89\x87 \xE5\x9C\xB0\xE7\x90\x83\xE8\x84\x89\xE5\x8A\xA8 "
                  "\xE7\xAC\xAC\xE4\xBA\x8C\xE5\xAD\xA3 EP%02d.mp4", i),
              1, 2);
    }
    // A few small topics: one name the share-index page writes %-escaped,
    // one share whose detail page has lost its download button, a file type
    // per category code.
    b.Add("\xE4\xB8\xAD\xE5\x9B\xBD \xE7\xBA\xAA\xE5\xBD\x95\xE7\x89\x87 \xE8\x88\xAA\xE6\x8B\x8D\xE4\xB8\xAD\xE5\x9B\xBD.mkv", 1);  // 中国 纪录片 航拍中国.mkv
    b.items.back().percentName = true;
    b.Add("\xE5\xA4\xB1\xE6\x95\x88 \xE5\x88\x86\xE4\xBA\xAB test.zip", 3);  // 失效 分享 test.zip
    b.items.back().expired = true;
    b.Add("\xE6\x81\xB6\xE6\x84\x8F \xE9\x93\xBE\xE6\x8E\xA5 test.exe", 5);  // 恶意 链接 test.exe
    b.items.back().hostileLink = true;
    b.Add("office 2010 \xE7\xAE\x80\xE4\xBD\x93\xE4\xB8\xAD\xE6\x96\x87\xE7\x89\x88.iso", 5, 1);  // office 2010 简体中文版
    b.Add("python \xE6\x95\x99\xE7\xA8\x8B.pdf", 4, 1);  // python 教程
    return b.items;
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool ContainsNoCase(const std::string& hay, const std::string& needle) {
    if (needle.empty()) return true;
    for (std::size_t i = 0; i + needle.size() <= hay.size(); ++i) {
        std::size_t k = 0;
        while (k < needle.size() && FoldAscii(hay[i + k]) == FoldAscii(needle[k])) ++k;
        if (k == needle.size()) return true;
    }
    return false;
}

}  // namespace

const std::vector<Resource>& Catalogue() {
    static const std::vector<Resource> items = Build();
    return items;
}

const Resource* FindById(int id) {
    for (const Resource& r : Catalogue()) {
        if (r.id == id) return &r;
    }
    return nullptr;
}

std::vector<std::string> KeywordTerms(const std::string& keyword) {
    std::vector<std::string> terms;
    std::string cur;
    for (std::size_t i = 0; i < keyword.size();) {
        bool space = keyword[i] == ' ' || keyword[i] == '\t';
        std::size_t width = 1;
        if (!space && keyword.compare(i, 3, "\xE3\x80\x80") == 0) {  // U+3000 ideographic space
            space = true;
            width = 3;
        }
        if (space) {
            if (!cur.empty()) terms.push_back(cur);
            cur.clear();
        } else {
            cur.push_back(keyword[i]);
        }
        i += width;
    }
    if (!cur.empty()) terms.push_back(cur);
    return terms;
}

std::vector<const Resource*> Search(const std::string& keyword) {
    std::vector<const Resource*> hits;
    std::vector<std::string> terms = KeywordTerms(keyword);
    if (terms.empty()) return hits;
    for (const Resource& r : Catalogue()) {
        bool all = true;
        for (const std::string& t : terms) {
            if (!ContainsNoCase(r.name, t)) {
                all = false;
                break;
            }
        }
        if (all) hits.push_back(&r);
    }
    return hits;
}

std::string InfoHash(const std::string& name) {
    // Five rounds of 64-bit FNV-1a over the name, salted per round; only
    // needs to look like a hash and stay stable.
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (std::uint64_t round = 0; out.size() < 40; ++round) {
        std::uint64_t h = 1469598103934665603ull ^ (round * 0x9E3779B97F4A7C15ull);
        for (unsigned char c : name) {
            h ^= c;
            h *= 1099511628211ull;
        }
        for (int i = 0; i < 16 && out.size() < 40; ++i) {
            out.push_back(kHex[(h >> (i * 4)) & 15]);
        }
    }
    return out;
}

}  // namespace sorvix::sitesim
