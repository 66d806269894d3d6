#include "collector/address_collector.h"

#include <array>

#include "collector/list_file.h"
#include "compose/article.h"
#include "text/encoding.h"
#include "text/platform.h"
#include "text/run_button.h"
#include "web/hosts.h"

namespace lilan {
namespace {

constexpr std::array<CollectorColumn, 8> kColumns{{
    {"单选框时政", "时政新闻", "/newsgn/zhxw/shizhengxinwen*.htm", 'B'},
    {"单选框各地", "各地新闻", "/newsgn/gdxw/gedixinwen*.htm", 'B'},
    {"单选框时事", "国际时事", "/l/newsgj/rdzh/guojishishi*.htm", 'B'},
    {"单选框花边", "国际花边", "/l/newsgj/chouwe/guojihuabian*.htm", 'B'},
    {"单选框社会", "社会万象", "/newssh/shwx/shehuiwanxiang*.htm", 'B'},
    {"单选框奇闻", "奇闻趣事", "/l/newssh/qwqs/qiwenqushi*.htm", 'B'},
    {"单选框军情", "国内军情", "/l/milite/milgn/list2010122872223*.htm", 'A'},
    {"单选框周边", "周边扫描", "/l/milite/zhoubiansaomiao/list2012095132256*.htm", 'A'},
}};

struct Texts {
    Text pageCaption1 = local("正在采集第 ");
    Text pageCaption2 = local(" 页..");
    Text windowCaption = local("新闻地址采集器");
    Text writeFailed = local("写出文件失败：");
    Text done = local("采集完成");
    Text counter = local("#递增#");
    // The list-page markers are kept with doubled apostrophes for double quotes.
    Text boxMarker = restoreQuotes("<div class=''box_hr16''></div>");
    Text newslistMarker = restoreQuotes("<div class=''mod newslist''>");
};

const Texts& texts() {
    static const Texts t;
    return t;
}

// The settings a collection reads from the window when it starts.
struct CollectorSettings {
    Text outputPath;
    long long maxPages = 0; // 0 or less: no limit
    bool byIncrement = false;
    Text addressTemplate;
    long long lowest = 0;
    long long highest = 0;
    Text pattern; // empty when no column is checked
    char parser = 'B';
};

CollectorSettings readSettings(const Form& form) {
    CollectorSettings s;
    s.outputPath = form.text("编辑框保存文件");
    s.maxPages = toInteger(form.text("编辑框采集页数"));
    s.byIncrement = form.isChecked("单选框按递增");
    s.addressTemplate = form.text("组合框地址模板");
    s.lowest = toInteger(form.text("编辑框最小"));
    s.highest = toInteger(form.text("编辑框最大"));
    for (const CollectorColumn& column : kColumns) {
        if (form.isChecked(column.control)) {
            s.pattern = Text(NewsSiteBase) + column.pathPattern;
            s.parser = column.parser;
            break;
        }
    }
    return s;
}

// The news-site links of one list page, each followed by "\r\n", in page order.
Text collectLinks(InetClient& inet, const Text& address, char parser) {
    // Without a checked column there is no page to ask for.
    if (address.empty()) return {};
    const Text page = inet.fetchText(address);
    const Text block = parser == 'A' ? textBetween(page, texts().boxMarker, texts().boxMarker)
                                     : textBetween(page, texts().newslistMarker, "</div>");
    Text result;
    long position = 0;
    for (;;) {
        // An empty href ends the page's scan, as does the last link.
        const Text link = textBetween(block, "href=\"", "\"", &position);
        if (link.empty()) break;
        if (hostOf(link) == NewsSiteHost) result += link + "\r\n";
    }
    return result;
}

Text pageAddress(const Text& pattern, long long page) {
    return replaceText(pattern, "*", page == 1 ? Text() : "_" + integerToText(page));
}

// False when writing the file failed; the collection then ends at once.
bool collectByIncrement(const CollectorSettings& s, ListFile& file, const bool& stopRequested) {
    if (s.lowest > s.highest) return true;
    for (long long n = s.lowest;; ++n) {
        if (!file.write(replaceText(s.addressTemplate, texts().counter, integerToText(n)) + "\r\n"))
            return false;
        processEvents();
        // The test comes before the increment so that a highest number at the top of the
        // integer range ends the loop instead of overflowing it.
        if (stopRequested || n == s.highest) return true;
    }
}

bool collectByColumn(Form& form, const CollectorSettings& s, CollectorServices& services, ListFile& file) {
    for (long long page = 1;; ++page) {
        form.setCaption(texts().pageCaption1 + integerToText(page) + texts().pageCaption2);
        const Text links = collectLinks(services.inet, pageAddress(s.pattern, page), s.parser);
        if (!links.empty() && !file.write(links)) return false;
        if ((s.maxPages > 0 && page >= s.maxPages) || services.stopRequested) return true;
        processEvents();
        if (links.empty()) return true;
    }
}

void startCollection(Form& form, CollectorServices& services) {
    const CollectorSettings s = readSettings(form);
    makeDirectoryPath(s.outputPath);
    ListFile file(s.outputPath);
    if (!file.isOpen()) {
        platform().showMessage(texts().writeFailed + s.outputPath, infoTitle(), MessageKind::Information);
        return;
    }
    showRunState(form, RunState::Running);
    services.stopRequested = false;

    bool written = s.byIncrement ? collectByIncrement(s, file, services.stopRequested)
                                 : collectByColumn(form, s, services, file);

    form.setCaption(texts().windowCaption);
    written = file.close() && written;
    showRunState(form, RunState::Idle);
    // A list that could not be written whole must not be reported as a finished one.
    const Text message = written ? texts().done : texts().writeFailed + s.outputPath;
    platform().showMessage(message, infoTitle(), MessageKind::Information);
}

} // namespace

std::span<const CollectorColumn> collectorColumns() {
    return kColumns;
}

void collectorButtonClicked(Form& form, CollectorServices& services) {
    if (startClickBeginsRun(form, services.stopRequested)) startCollection(form, services);
}

} // namespace lilan
