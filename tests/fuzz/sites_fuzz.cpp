// libFuzzer target over the three site routines fed a hostile answer: the
// first byte picks the routine (magnet, share index, a disk search, the
// share-index link resolution) and how many pages answer with the fuzzed
// body; the rest is that body, served for every address the routine asks
// for. Beyond "no crash, no sanitizer report, no hang": a routine asks for
// a bounded number of pages, and every row it writes has its cells within
// the table's columns.
//   tests/fuzz/run.sh sites_fuzz [seconds]
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "sites/site_search.h"

namespace {

using namespace sorvix;

void Check(bool ok) {
    if (!ok) std::abort();
}

class FuzzView : public SiteView {
public:
    void SetLabel(StatusLabel label, const Text& text) override { labels_[static_cast<int>(label)] = text; }
    Text Label(StatusLabel label) override { return labels_[static_cast<int>(label)]; }
    Text BoxText(EditBox box) override { return boxes_[static_cast<int>(box)]; }
    void SetBoxText(EditBox box, const Text& text) override { boxes_[static_cast<int>(box)] = text; }
    void ClearRows() override { rows_ = 0; }
    int AppendRow() override { return ++rows_; }
    void SetCell(int row, int column, const Text&) override {
        Check(row >= 1 && row <= rows_);
        Check(column >= 1 && column <= kColumnCount);
    }
    Text Cell(int, int) override { return Text(); }
    int SelectedRow() override { return 0; }
    int ShowMessageBox(const MessageBoxRequest& request) override {
        PassBoxGate(request, [] {});
        return 1;
    }
    void ShowSystemMessage(const Text&, const Text&) override {}

private:
    std::map<int, Text> labels_;
    std::map<int, Text> boxes_;
    int rows_ = 0;
};

// Serves the fuzzed body to the first `answered` requests, then fails.
class FuzzNet : public SiteNet {
public:
    FuzzNet(Bytes body, int answered) : body_(std::move(body)), answered_(answered) {}
    NetAnswer Request(const Text& url) override { return Answer(url); }
    NetAnswer FetchPage(const Text& url) override { return Answer(url); }
    int asked = 0;

private:
    NetAnswer Answer(const Text&) {
        ++asked;
        // A page count taken from the answer stays bounded: the probe and at
        // most 1000 result pages.
        Check(asked <= 1 + 1000);
        if (asked > answered_) return NetAnswer{Bytes(), NetStatus::TimedOut, 0};
        return NetAnswer{body_, NetStatus::Ok, 200};
    }
    Bytes body_;
    int answered_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const Bytes body(reinterpret_cast<const char*>(data) + 1, size - 1);
    const int answered = 1 + ((data[0] >> 2) & 7);
    FuzzView view;
    FuzzNet net(body, answered);
    CancelToken cancel;
    view.SetBoxText(EditBox::Keyword, "\xC8\xFD\xCC\xE5");  // 三体
    view.SetBoxText(EditBox::Page, "2");
    const SiteContext context{view, net, cancel};
    switch (data[0] & 3) {
        case 0: MagnetSiteSearch(context, "http://127.0.0.1:8931"); break;
        case 1: ShareIndexSearch(context, "http://127.0.0.1:8932"); break;
        case 2:
            DiskSearch(context, DiskSearchVariants()[(data[0] >> 5) % kDiskVariantCount],
                       SearchBaseEncode("http://127.0.0.1:8933/cse?q="));
            break;
        default: (void)ResolveShareIndexLink(net, "http://127.0.0.1:8932/r/1"); break;
    }
    return 0;
}
