// sorvix-cli's logic (see cli.h).
#include "cli/cli.h"

#include <algorithm>
#include <cctype>
#include <mutex>

#include "app/core/fan_out.h"
#include "app/core/link_check.h"
#include "app/core/search.h"
#include "cli/cli_output.h"
#include "cli/console_view.h"
#include "sites/cancel_token.h"
#include "sites/site_search.h"
#include "text/text.h"

namespace sorvix::cli {

namespace {

const char* const kUsage =
    "usage: sorvix-cli search --source N|LABEL [--page TEXT] [--format table|tsv|json] [--verbose] KEYWORD\n"
    "       sorvix-cli search --source all|N,LABEL,... [--page TEXT] [--format table|tsv|json] KEYWORD\n"
    "       sorvix-cli resolve URL\n"
    "exit status: 0 done, 1 no address found, 2 bad arguments or configuration, 130 cancelled\n";

// Column headings of the result table, as the window shows them.
const std::vector<std::string> kHeadings = {
    "\xE5\xBA\x8F\xE5\x8F\xB7",                          // 序号
    "\xE6\x96\x87\xE4\xBB\xB6\xE5\x90\x8D\xE7\xA7\xB0",  // 文件名称
    "\xE6\x94\xB6\xE5\xBD\x95\xE6\x97\xB6\xE9\x97\xB4",  // 收录时间
    "\xE6\x96\x87\xE4\xBB\xB6\xE5\xA4\xA7\xE5\xB0\x8F",  // 文件大小
    "\xE6\x96\x87\xE4\xBB\xB6\xE6\x95\xB0\xE9\x87\x8F",  // 文件数量
    "\xE7\xA3\x81\xE5\x8A\x9B\xE9\x93\xBE\xE6\x8E\xA5",  // 磁力链接
    "\xE6\x96\x87\xE4\xBB\xB6\xE7\xB1\xBB\xE5\x9E\x8B",  // 文件类型
    "\xE7\xBD\x91\xE7\x9B\x98\xE7\xB1\xBB\xE5\x9E\x8B",  // 网盘类型
};

const char* const kSourceHeading = "\xE6\x9D\xA5\xE6\xBA\x90";  // 来源

const char* const kNoAddressFound = "\xE6\xB2\xA1\xE6\x9C\x89\xE6\x89\xBE\xE5\x88\xB0\xE5\x9C\xB0\xE5\x9D\x80";  // 没有找到地址

// One line, so scripts can show it as it is.
int Usage(const CliContext& c, const std::string& why) {
    c.err << "sorvix-cli: " << why << " (sorvix-cli --help shows the usage)\n";
    return kExitUsage;
}

// One request a routine made: its address and, when the answer was no use,
// why (empty otherwise).
struct RecordedRequest {
    Text url;
    std::string failure;
};

// Forwards every request and records it with its outcome, in order; a failed
// one is also reported at once through `onFailure`, if given.
class RecordingSiteNet : public SiteNet {
public:
    RecordingSiteNet(SiteNet& inner, std::function<void(const RecordedRequest&)> onFailure)
        : inner_(inner), onFailure_(std::move(onFailure)) {}
    NetAnswer Request(const Text& url) override { return Record(url, inner_.Request(url)); }
    NetAnswer FetchPage(const Text& url) override { return Record(url, inner_.FetchPage(url)); }
    std::vector<RecordedRequest> Requests() const {
        std::lock_guard<std::mutex> lock(mu_);
        return requests_;
    }

private:
    NetAnswer Record(const Text& url, NetAnswer answer) {
        RecordedRequest request{url, answer.Failure()};
        {
            std::lock_guard<std::mutex> lock(mu_);
            requests_.push_back(request);
        }
        if (!request.failure.empty() && onFailure_) onFailure_(request);
        return answer;
    }
    SiteNet& inner_;
    std::function<void(const RecordedRequest&)> onFailure_;
    mutable std::mutex mu_;
    std::vector<RecordedRequest> requests_;
};

std::string PathText(const std::filesystem::path& p) {
    std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
}

bool LoadConfiguration(const CliContext& c, Config* config) {
    const ConfigLoad load = LoadConfig(c.configPath);
    if (load.missing && !c.configRequired) return true;  // defaults
    if (!load.fileRead) {
        c.err << "sorvix-cli: cannot read configuration " << PathText(c.configPath);
        if (!load.error.empty()) c.err << ": " << load.error;
        c.err << '\n';
        return false;
    }
    for (const std::string& p : load.problems) c.err << "sorvix-cli: warning: " << p << '\n';
    *config = load.config;
    return true;
}


std::string Utf8(const Text& gbk) { return GbkToUtf8(gbk); }

// Message box text for a terminal: its line breaks as plain new lines.
std::string TerminalText(const Text& gbk) {
    std::string s = Utf8(gbk);
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') continue;
        out += s[i];
    }
    return out;
}

// Why a walk's rows are not the whole result.
std::string CutShortText(int pagesNamed) {
    return "the site named " + std::to_string(pagesNamed) + " pages; the walk stopped at " +
           std::to_string(kMaxPages) + ", so the result is cut short";
}

// "all" or a comma-separated list of numbers and labels -> options, each once,
// in the order named.
bool ParseSourceList(const std::string& text, std::vector<int>* options, std::string* why) {
    if (text == "all") {
        for (int option = 1; option <= kSourceCount; ++option) options->push_back(option);
        return true;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        while (!item.empty() && item.front() == ' ') item.erase(item.begin());
        while (!item.empty() && item.back() == ' ') item.pop_back();
        if (!item.empty()) {
            const int option = ParseSource(item);
            if (option == 0) {
                *why = "unknown source " + item;
                return false;
            }
            if (std::find(options->begin(), options->end(), option) == options->end()) options->push_back(option);
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (options->empty()) {
        *why = "no source in " + text;
        return false;
    }
    return true;
}

// The source column of a merged row: the first source, then the others that
// listed the same link.
std::string SourcesText(const FanOutRow& row) {
    std::string text = GbkToUtf8(SourceLabel(row.option));
    if (!row.alsoFrom.empty()) {
        text += " (+";
        for (std::size_t k = 0; k < row.alsoFrom.size(); ++k)
            text += (k ? ", " : "") + GbkToUtf8(SourceLabel(row.alsoFrom[k]));
        text += ")";
    }
    return text;
}

std::string MsText(double ms) { return std::to_string(static_cast<long long>(ms + 0.5)); }

// One summary line of a source for stderr.
std::string StatusLine(const SourceStatus& s) {
    std::string line = "[" + GbkToUtf8(s.label) + "] " + std::to_string(s.rows) + " rows, " + MsText(s.elapsedMs) +
                       " ms, " + s.OutcomeText();
    if (s.cutShort) line += ", cut short at " + std::to_string(kMaxPages) + " pages";
    if (s.outcome == SourceOutcome::Ok && s.failedRequests > 0)
        line += ", " + std::to_string(s.failedRequests) + " of " + std::to_string(s.requests) + " requests failed";
    return line;
}

// Several sources at once (see cli.h).
int FanOutSearch(const std::vector<int>& options, const std::string& keyword, const std::string& page,
                 const std::string& format, SiteNet& net, const Config& config, const CliContext& c) {
    FanOutRequest request;
    request.options = options;
    request.keyword = Utf8ToGbk(keyword);
    request.page = Utf8ToGbk(page);
    const FanOutResult result = RunFanOut(request, net, config, c.cancel);

    if (c.cancel.Cancelled()) {
        c.out << std::flush;
        c.err << "sorvix-cli: cancelled\n" << std::flush;
        return kExitCancelled;
    }

    if (format == "json") {
        std::string out = "{\"keyword\": " + JsonString(keyword) + ", \"sources\": [";
        for (std::size_t k = 0; k < result.sources.size(); ++k) {
            const SourceStatus& s = result.sources[k];
            out += std::string(k ? ", " : "") + "{\"source\": " + std::to_string(s.option) +
                   ", \"label\": " + JsonString(GbkToUtf8(s.label)) + ", \"rows\": " + std::to_string(s.rows) +
                   ", \"ms\": " + MsText(s.elapsedMs) + ", \"outcome\": " + JsonString(s.OutcomeText()) +
                   ", \"requests\": " + std::to_string(s.requests) +
                   ", \"failedRequests\": " + std::to_string(s.failedRequests) +
                   ", \"cutShort\": " + (s.cutShort ? "true" : "false") + ", \"messages\": [";
            for (std::size_t m = 0; m < s.messages.size(); ++m)
                out += (m ? ", " : "") + JsonString(GbkToUtf8(s.messages[m]));
            out += "]}";
        }
        out += "], \"rows\": [";
        for (std::size_t k = 0; k < result.rows.size(); ++k) {
            const FanOutRow& row = result.rows[k];
            out += std::string(k ? ", " : "") + "{\"source\": " + std::to_string(row.option) +
                   ", \"label\": " + JsonString(GbkToUtf8(SourceLabel(row.option))) + ", \"alsoFrom\": [";
            for (std::size_t a = 0; a < row.alsoFrom.size(); ++a)
                out += (a ? ", " : "") + std::to_string(row.alsoFrom[a]);
            out += "], \"cells\": [";
            for (std::size_t cell = 0; cell < row.cells.size(); ++cell)
                out += (cell ? ", " : "") + JsonString(GbkToUtf8(row.cells[cell]));
            out += "]}";
        }
        out += "]}\n";
        c.out << out << std::flush;
        return kExitOk;
    }

    // Table and tsv: the merged rows, renumbered, with their sources.
    std::vector<std::string> headings = kHeadings;
    headings.push_back(kSourceHeading);
    std::vector<std::vector<std::string>> rows;
    for (std::size_t k = 0; k < result.rows.size(); ++k) {
        std::vector<std::string> cells;
        for (const Text& cell : result.rows[k].cells) cells.push_back(GbkToUtf8(cell));
        cells.resize(kHeadings.size());
        cells[0] = std::to_string(k + 1);
        cells.push_back(SourcesText(result.rows[k]));
        rows.push_back(std::move(cells));
    }
    if (format == "tsv") c.out << FormatTsv(headings, rows);
    else if (!rows.empty()) c.out << FormatTable(headings, rows);
    c.out << std::flush;
    for (const SourceStatus& s : result.sources) c.err << StatusLine(s) << '\n';
    c.err << std::flush;
    return kExitOk;
}

int Search(const std::vector<std::string>& args, const CliContext& c) {
    std::string sourceText;
    std::string page = "1";
    std::string format = "table";
    bool verbose = false;
    std::vector<std::string> positional;
    bool sawSource = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--") {
            positional.insert(positional.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        }
        std::string name = a;
        std::string value;
        bool inlineValue = false;
        if (a.rfind("--", 0) == 0 && a.find('=') != std::string::npos) {
            name = a.substr(0, a.find('='));
            value = a.substr(a.find('=') + 1);
            inlineValue = true;
        }
        if (name == "--source" || name == "--page" || name == "--format") {
            if (!inlineValue) {
                if (i + 1 >= args.size()) return Usage(c, "missing value for " + name);
                value = args[++i];
            }
            if (name == "--source") {
                sourceText = value;
                sawSource = true;
            } else if (name == "--page") {
                page = value;
            } else {
                format = value;
            }
        } else if (a == "--verbose") {
            verbose = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return Usage(c, "unknown option " + a);
        } else {
            positional.push_back(a);
        }
    }
    if (!sawSource) return Usage(c, "--source is required");
    // "all" or a list with a comma searches several sources at once.
    const bool fanOut = sourceText == "all" || sourceText.find(',') != std::string::npos;
    std::vector<int> options;
    if (fanOut) {
        std::string why;
        if (!ParseSourceList(sourceText, &options, &why)) return Usage(c, why);
    }
    int option = fanOut ? 0 : ParseSource(sourceText);
    if (!fanOut && option == 0) return Usage(c, "unknown source " + sourceText);
    if (format != "table" && format != "tsv" && format != "json") return Usage(c, "unknown format " + format);
    if (positional.size() != 1) {
        return Usage(c, positional.empty() ? "missing KEYWORD" : "more than one KEYWORD (quote it)");
    }
    if (positional[0].empty()) return Usage(c, "empty KEYWORD");

    Config config;
    if (!LoadConfiguration(c, &config)) return kExitUsage;
    std::unique_ptr<SiteNet> net = c.makeNet ? c.makeNet(config) : MakeNetworkSiteNet(config.network);
    if (fanOut) return FanOutSearch(options, positional[0], page, format, *net, config, c);

    const bool json = format == "json";
    const bool tsv = format == "tsv";
    const bool table = format == "table";
    const CancelToken& cancel = c.cancel;
    // The routines treat a failed request as "no answer"; the reason goes
    // to stderr here (and into the JSON form's request list).
    RecordingSiteNet recording(*net, [&](const RecordedRequest& r) {
        if (json || cancel.Cancelled()) return;
        c.err << "sorvix-cli: request failed: " << Utf8(r.url) << ": " << r.failure << '\n' << std::flush;
    });
    int printedVersion = -1;
    ConsoleAppView* viewPtr = nullptr;
    auto cells = [&] {
        std::vector<std::vector<std::string>> rows;
        for (const auto& row : viewPtr->Rows()) {
            std::vector<std::string> utf8;
            for (const Text& cell : row) utf8.push_back(Utf8(cell));
            rows.push_back(std::move(utf8));
        }
        return rows;
    };
    auto printTable = [&] {
        if (!table || !viewPtr) return;
        int version = viewPtr->TableVersion();
        if (version == printedVersion) return;
        printedVersion = version;
        auto rows = cells();
        if (rows.empty()) return;  // a heading over nothing says nothing
        c.out << FormatTable(kHeadings, rows) << std::flush;
    };
    // In table form a message box first shows the rows it is about, then
    // its own text, so the terminal reads in the order the window would.
    // A cancelled run prints no more rows or boxes: its output ends whole.
    auto onMessage = [&](const Text& title, const Text& text) {
        if (json || cancel.Cancelled()) return;
        if (tsv) {
            c.err << TerminalText(title) << ' ' << TerminalText(text) << '\n' << std::flush;
            return;
        }
        printTable();
        c.out << TerminalText(title) << ' ' << TerminalText(text) << '\n' << std::flush;
    };
    ConsoleAppView view(json && !verbose ? nullptr : &c.err, onMessage, verbose);
    viewPtr = &view;
    view.SetBoxText(EditBox::Keyword, Utf8ToGbk(positional[0]));
    view.SetBoxText(EditBox::Page, Utf8ToGbk(page));

    SiteSearchResult ran;
    RunSource(option, view, recording, config, cancel, &ran);

    if (cancel.Cancelled()) {
        c.out << std::flush;
        c.err << "sorvix-cli: cancelled\n" << std::flush;
        return kExitCancelled;
    }
    if (ran.cutShort) {
        c.err << "sorvix-cli: " << CutShortText(ran.pagesNamed) << '\n' << std::flush;
    }
    if (!json && !verbose) {
        // The data label's last text stands for its per-row changes.
        c.err << "[\xE6\x95\xB0\xE6\x8D\xAE] " << Utf8(view.Label(StatusLabel::Data)) << '\n' << std::flush;  // 数据
    }
    if (json) {
        std::string out = "{\"source\": " + std::to_string(option) +
                          ", \"siteCode\": " + JsonString(Utf8(SiteCodeForOption(option))) + ", \"rows\": [";
        bool firstRow = true;
        for (const auto& row : view.Rows()) {
            out += firstRow ? "[" : ", [";
            firstRow = false;
            for (std::size_t k = 0; k < row.size(); ++k) out += (k ? ", " : "") + JsonString(Utf8(row[k]));
            out += "]";
        }
        out += "], \"operation\": " + JsonString(Utf8(view.Label(StatusLabel::Operation)));
        out += ", \"data\": " + JsonString(Utf8(view.Label(StatusLabel::Data)));
        out += ", \"messages\": [";
        bool first = true;
        for (const Text& m : view.Messages()) {
            out += (first ? "" : ", ") + JsonString(Utf8(m));
            first = false;
        }
        out += "], \"requests\": [";
        first = true;
        for (const RecordedRequest& r : recording.Requests()) {
            out += (first ? "{\"url\": " : ", {\"url\": ") + JsonString(Utf8(r.url)) + ", \"failure\": ";
            out += (r.failure.empty() ? std::string("null") : JsonString(r.failure)) + "}";
            first = false;
        }
        out += "]}\n";
        c.out << out << std::flush;
    } else if (tsv) {
        c.out << FormatTsv(kHeadings, cells()) << std::flush;
    } else {
        printTable();
    }
    return kExitOk;
}

int Resolve(const std::vector<std::string>& args, const CliContext& c) {
    if (args.size() != 1) return Usage(c, args.empty() ? "missing URL" : "resolve takes one URL");
    if (args[0].empty()) return Usage(c, "empty URL");
    Config config;
    if (!LoadConfiguration(c, &config)) return kExitUsage;
    std::unique_ptr<SiteNet> net = c.makeNet ? c.makeNet(config) : MakeNetworkSiteNet(config.network);
    Text address = ResolveShareIndexLink(*net, Utf8ToGbk(args[0]));
    if (address.empty()) {
        c.err << kNoAddressFound << '\n';
        return kExitNotFound;
    }
    // What the page names is untrusted: the window program refuses to open
    // such a link, so the tool does not hand it on either.
    LinkVerdict verdict = CheckLink(address, LinkUse::ShareIndexDownload);
    if (!verdict.allowed) {
        c.err << "sorvix-cli: refused link " << JsonString(Utf8(address)) << ": " << verdict.reason << '\n';
        return kExitNotFound;
    }
    c.out << Utf8(address) << '\n' << std::flush;
    return kExitOk;
}

}  // namespace

int ParseSource(const std::string& text) {
    if (!text.empty() && text.size() <= 2 && std::isdigit(static_cast<unsigned char>(text[0])) &&
        std::isdigit(static_cast<unsigned char>(text.back()))) {
        int n = std::stoi(text);
        return n >= 1 && n <= kSourceCount ? n : 0;
    }
    Text gbk = Utf8ToGbk(text);
    auto fold = [](Text s) {
        for (char& ch : s) {
            if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
        }
        return s;
    };
    for (int option = 1; option <= kSourceCount; ++option) {
        // Folding only ASCII letters is safe on GBK: it is applied to both
        // sides alike, and equal byte strings stay equal.
        if (fold(SourceLabel(option)) == fold(gbk)) return option;
    }
    return 0;
}

int RunCli(const std::vector<std::string>& args, const CliContext& c) {
    if (args.empty()) return Usage(c, "missing command");
    const std::string& command = args[0];
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "search") return Search(rest, c);
    if (command == "resolve") return Resolve(rest, c);
    if (command == "--help" || command == "-h" || command == "help") {
        c.out << kUsage;
        return kExitOk;
    }
    return Usage(c, "unknown command " + command);
}

}  // namespace sorvix::cli
