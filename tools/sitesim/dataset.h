// The simulator's own data set: invented resources (Chinese and ASCII names)
// that the three simulated sites list, and the keyword matching they share.
// A keyword matches a resource when every one of its space-separated terms
// occurs in the name, ASCII letters compared without case. Everything is
// generated deterministically, so tests can count on exact rows and pages.
#pragma once
#include <string>
#include <vector>

namespace sorvix::sitesim {

struct Resource {
    int id = 0;              // also the share-index detail page "/r/<id>"
    std::string name;        // UTF-8
    std::string date;        // "2015-03-01"
    std::string size;        // "1.2 GB"
    int fileCount = 1;
    int category = 1;        // share-index category code 1..6
    std::string disk;        // cloud disk the share lives on, UTF-8
    bool percentName = false;  // the share-index page writes the name %-escaped
    bool expired = false;      // its detail page carries no download button
    bool hostileLink = false;  // its detail page offers a local file as download
};

const std::vector<Resource>& Catalogue();
const Resource* FindById(int id);

// Splits a keyword (UTF-8) into its terms at ASCII and full-width spaces.
std::vector<std::string> KeywordTerms(const std::string& keyword);
// The resources matching the keyword, in catalogue order; none for a keyword
// without terms.
std::vector<const Resource*> Search(const std::string& keyword);

// A 40-digit hexadecimal info hash derived from the name.
std::string InfoHash(const std::string& name);

// Some keywords the data set answers, for the demo and the tests.
inline constexpr const char* kKeywordThreeBody = "\xE4\xB8\x89\xE4\xBD\x93";  // 三体
inline constexpr const char* kKeywordUbuntu = "ubuntu iso";                    // 100 hits
inline constexpr const char* kKeywordEarth =
    "\xE7\xBA\xAA\xE5\xBD\x95\xE7\x89\x87 \xE5\x9C\xB0\xE7\x90\x83\xE8\x84\x89\xE5\x8A\xA8";  // 纪录片 地球脉动

}  // namespace sorvix::sitesim
