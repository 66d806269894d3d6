// One timed pass of the whole-run measurement (tools/bench-e2e.sh runs the passes):
//
//   lilan_e2e_run run <address-list> <article-folder> <expected-articles>
//       a collection run through the program's own driver with no wait between pages;
//   lilan_e2e_run client <url-list>
//       the same requests through the program's web client alone (each body decoded to
//       local text, as every visit does), which parts the difference between the two
//       figures below into the request object's share and the rest of the run's;
//   lilan_e2e_run bare <url-list>
//       the same requests in the same order through one reused libcurl handle, doing
//       nothing with the bodies but keeping them.
//
// All three honour http_proxy as the program does, and print one line with the time in
// milliseconds on the monotonic clock. A pass that did not do all its work fails, so that a
// fast figure can never come from a run that quietly fetched nothing.
#include <curl/curl.h>
#include <sys/resource.h>

#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "run_harness.h"

using namespace lilan;
namespace fs = std::filesystem;

namespace {

int usage() {
    std::cerr << "usage: lilan_e2e_run run <address-list> <article-folder> <expected-articles>\n"
                 "       lilan_e2e_run client <url-list>\n"
                 "       lilan_e2e_run bare <url-list>\n";
    return 2;
}

// Processor time this process has used so far (user and system), in milliseconds; beside
// the wall time it tells work from waiting.
double cpuMilliseconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

int timedRun(const fs::path& list, const fs::path& folder, long long expected) {
    bench::HarnessForm form;
    bench::prepareRun(form, list, folder);
    WebClient web; // the program's request object with its default wait
    const double cpuStart = cpuMilliseconds();
    const auto start = std::chrono::steady_clock::now();
    const bench::RunOutcome outcome = bench::runCollection(form, web);
    const double ms = bench::millisecondsSince(start);
    const double cpu = cpuMilliseconds() - cpuStart;

    const long long files = bench::countFiles(folder);
    std::cout << "run ms=" << ms << " cpu-ms=" << cpu << " addresses=" << form.addressesStarted
              << " articles=" << outcome.articles << " files=" << files << "\n";
    if (outcome.articles != expected || files != expected || outcome.messages != 1) {
        std::cerr << "the run made " << outcome.articles << " articles in " << files << " files, expected "
                  << expected << "; last message: " << outcome.summary << "\n";
        return 1;
    }
    return 0;
}

std::vector<std::string> readUrls(const fs::path& urlList) {
    std::vector<std::string> urls;
    std::ifstream in(urlList);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) urls.push_back(line);
    if (urls.empty()) std::cerr << "no addresses in " << urlList << "\n";
    return urls;
}

int timedClientLoop(const fs::path& urlList) {
    const std::vector<std::string> urls = readUrls(urlList);
    if (urls.empty()) return 1;
    WebClient web;
    long long bytes = 0;
    int failures = 0;
    const double cpuStart = cpuMilliseconds();
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& url : urls) {
        const Text body = web.visit(url);
        failures += body.empty();
        bytes += static_cast<long long>(body.size());
    }
    const double ms = bench::millisecondsSince(start);
    const double cpu = cpuMilliseconds() - cpuStart;
    std::cout << "client ms=" << ms << " cpu-ms=" << cpu << " requests=" << urls.size()
              << " text-bytes=" << bytes << " failures=" << failures << "\n";
    return failures == 0 ? 0 : 1;
}

size_t keepBody(char* data, size_t size, size_t count, void* body) {
    static_cast<std::string*>(body)->append(data, size * count);
    return size * count;
}

int timedBareLoop(const fs::path& urlList) {
    const std::vector<std::string> urls = readUrls(urlList);
    if (urls.empty()) return 1;

    curl_global_init(CURL_GLOBAL_DEFAULT);
    CURL* curl = curl_easy_init();
    std::string body;
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, keepBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    long long bytes = 0;
    int failures = 0;

    const double cpuStart = cpuMilliseconds();
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& url : urls) {
        body.clear();
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        long status = 0;
        if (curl_easy_perform(curl) != CURLE_OK ||
            curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status != 200)
            ++failures;
        bytes += static_cast<long long>(body.size());
    }
    const double ms = bench::millisecondsSince(start);
    const double cpu = cpuMilliseconds() - cpuStart;

    curl_easy_cleanup(curl);
    std::cout << "bare ms=" << ms << " cpu-ms=" << cpu << " requests=" << urls.size() << " bytes=" << bytes
              << " failures=" << failures << "\n";
    return failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "run" && argc == 5) return timedRun(argv[2], argv[3], std::atoll(argv[4]));
    if (mode == "client" && argc == 3) return timedClientLoop(argv[2]);
    if (mode == "bare" && argc == 3) return timedBareLoop(argv[2]);
    return usage();
}
