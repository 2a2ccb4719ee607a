// A strict little JSON reader for the CLI tests: the whole input must be one
// value (whitespace around it allowed), strings must be valid JSON strings.
// Enough to check the shape of sorvix-cli's output, nothing more.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace sorvix::test {

struct Json {
    enum Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
    bool boolean = false;
    double number = 0;
    std::string string;  // UTF-8
    std::vector<Json> array;
    std::map<std::string, Json> object;
    std::vector<std::string> keyOrder;
};

class JsonReader {
public:
    // False (and *error set) unless `text` is exactly one JSON value.
    static bool Parse(const std::string& text, Json* out, std::string* error) {
        JsonReader r(text);
        r.Space();
        if (!r.Value(out, 0)) {
            *error = r.error_ + " at " + std::to_string(r.pos_);
            return false;
        }
        r.Space();
        if (r.pos_ != text.size()) {
            *error = "trailing text at " + std::to_string(r.pos_);
            return false;
        }
        return true;
    }

private:
    explicit JsonReader(const std::string& t) : t_(t) {}

    void Space() {
        while (pos_ < t_.size() && (t_[pos_] == ' ' || t_[pos_] == '\n' || t_[pos_] == '\r' || t_[pos_] == '\t')) ++pos_;
    }
    bool Fail(const char* why) {
        error_ = why;
        return false;
    }
    bool Literal(const char* word) {
        std::string w(word);
        if (t_.compare(pos_, w.size(), w) != 0) return Fail("bad literal");
        pos_ += w.size();
        return true;
    }
    static void PutUtf8(std::uint32_t cp, std::string* out) {
        if (cp < 0x80) {
            out->push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    bool String(std::string* out) {
        if (pos_ >= t_.size() || t_[pos_] != '"') return Fail("expected string");
        ++pos_;
        while (pos_ < t_.size()) {
            unsigned char c = static_cast<unsigned char>(t_[pos_++]);
            if (c == '"') return true;
            if (c < 0x20) return Fail("raw control character in string");
            if (c != '\\') {
                out->push_back(static_cast<char>(c));
                continue;
            }
            if (pos_ >= t_.size()) break;
            char e = t_[pos_++];
            switch (e) {
                case '"': out->push_back('"'); break;
                case '\\': out->push_back('\\'); break;
                case '/': out->push_back('/'); break;
                case 'b': out->push_back('\b'); break;
                case 'f': out->push_back('\f'); break;
                case 'n': out->push_back('\n'); break;
                case 'r': out->push_back('\r'); break;
                case 't': out->push_back('\t'); break;
                case 'u': {
                    if (pos_ + 4 > t_.size()) return Fail("short \\u");
                    std::uint32_t cp = static_cast<std::uint32_t>(std::strtoul(t_.substr(pos_, 4).c_str(), nullptr, 16));
                    pos_ += 4;
                    PutUtf8(cp, out);
                    break;
                }
                default: return Fail("bad escape");
            }
        }
        return Fail("unterminated string");
    }
    bool Value(Json* v, int depth) {
        if (depth > 64) return Fail("too deep");
        if (pos_ >= t_.size()) return Fail("unexpected end");
        char c = t_[pos_];
        if (c == '"') {
            v->kind = Json::kString;
            return String(&v->string);
        }
        if (c == '{') {
            v->kind = Json::kObject;
            ++pos_;
            Space();
            if (pos_ < t_.size() && t_[pos_] == '}') return ++pos_, true;
            for (;;) {
                Space();
                std::string key;
                if (!String(&key)) return false;
                if (v->object.count(key)) return Fail("duplicate key");
                Space();
                if (pos_ >= t_.size() || t_[pos_] != ':') return Fail("expected ':'");
                ++pos_;
                Space();
                Json item;
                if (!Value(&item, depth + 1)) return false;
                v->keyOrder.push_back(key);
                v->object.emplace(key, std::move(item));
                Space();
                if (pos_ < t_.size() && t_[pos_] == ',') {
                    ++pos_;
                    continue;
                }
                if (pos_ < t_.size() && t_[pos_] == '}') return ++pos_, true;
                return Fail("expected ',' or '}'");
            }
        }
        if (c == '[') {
            v->kind = Json::kArray;
            ++pos_;
            Space();
            if (pos_ < t_.size() && t_[pos_] == ']') return ++pos_, true;
            for (;;) {
                Space();
                Json item;
                if (!Value(&item, depth + 1)) return false;
                v->array.push_back(std::move(item));
                Space();
                if (pos_ < t_.size() && t_[pos_] == ',') {
                    ++pos_;
                    continue;
                }
                if (pos_ < t_.size() && t_[pos_] == ']') return ++pos_, true;
                return Fail("expected ',' or ']'");
            }
        }
        if (c == 't') return v->kind = Json::kBool, v->boolean = true, Literal("true");
        if (c == 'f') return v->kind = Json::kBool, Literal("false");
        if (c == 'n') return Literal("null");
        if (c == '-' || (c >= '0' && c <= '9')) {
            std::size_t start = pos_;
            ++pos_;
            while (pos_ < t_.size() && std::string("0123456789.eE+-").find(t_[pos_]) != std::string::npos) ++pos_;
            v->kind = Json::kNumber;
            v->number = std::strtod(t_.substr(start, pos_ - start).c_str(), nullptr);
            return true;
        }
        return Fail("unexpected character");
    }

    const std::string& t_;
    std::size_t pos_ = 0;
    std::string error_;
};

}  // namespace sorvix::test
