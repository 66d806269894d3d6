// The memory of a long run (tools/soak.sh starts the fixture site and runs this):
//
//   lilan_soak_run <address-list> <article-folder> [every=100] [allowed-growth-kB=4096]
//
// A collection run through the program's own driver with no wait between pages. After
// every `every` addresses it reads the process's resident memory (VmRSS) and its peak
// (VmHWM) from /proc/self/status, prints them as a table, and ends with a verdict: the
// memory is flat when neither grew by more than the allowed amount between the first
// sample and the last. The exit status is 0 for flat, 1 for growing or for a run that did
// not cover the whole list.
#include <fstream>
#include <iomanip>
#include <iostream>
#include <string>
#include <vector>

#include "run_harness.h"

using namespace lilan;
namespace fs = std::filesystem;

namespace {

struct Sample {
    long long addresses = 0;
    long long rssKb = 0;
    long long peakKb = 0;
    long long articleFiles = 0;
    double seconds = 0;
};

long long statusField(const std::string& status, const std::string& name) {
    const auto at = status.find("\n" + name + ":");
    if (at == std::string::npos) return -1;
    return std::atoll(status.c_str() + at + name.size() + 2);
}

Sample sampleNow(long long addresses, const fs::path& folder, std::chrono::steady_clock::time_point start) {
    std::ifstream in("/proc/self/status");
    const std::string status = "\n" + std::string(std::istreambuf_iterator<char>(in), {});
    return {addresses, statusField(status, "VmRSS"), statusField(status, "VmHWM"), bench::countFiles(folder),
            bench::millisecondsSince(start) / 1000.0};
}

void printRow(const Sample& s) {
    std::cout << std::setw(9) << s.addresses << std::setw(12) << s.rssKb << std::setw(12) << s.peakKb
              << std::setw(10) << s.articleFiles << std::setw(10) << std::fixed << std::setprecision(1)
              << s.seconds << std::endl;
}

long long countLines(const fs::path& list) {
    std::ifstream in(list);
    long long n = 0;
    for (std::string line; std::getline(in, line);)
        n += line.find_first_not_of(" \r\t") != std::string::npos;
    return n;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 5) {
        std::cerr
            << "usage: lilan_soak_run <address-list> <article-folder> [every=100] [allowed-growth-kB=4096]\n";
        return 2;
    }
    const fs::path list = argv[1], folder = argv[2];
    const long long every = argc > 3 ? std::max(1LL, std::atoll(argv[3])) : 100;
    const long long allowedKb = argc > 4 ? std::atoll(argv[4]) : 4096;
    const long long total = countLines(list);

    bench::HarnessForm form;
    bench::prepareRun(form, list, folder);
    WebClient web;
    std::vector<Sample> samples;
    const auto start = std::chrono::steady_clock::now();

    std::cout << "addresses   VmRSS(kB)   VmHWM(kB)  articles   seconds" << std::endl;
    auto take = [&](long long done) {
        samples.push_back(sampleNow(done, folder, start));
        printRow(samples.back());
    };
    take(0);
    // An address has been dealt with when the run starts on the next one.
    form.onAddress = [&](long long started) {
        if (started > 1 && (started - 1) % every == 0) take(started - 1);
    };
    const bench::RunOutcome outcome = bench::runCollection(form, web);
    if (samples.back().addresses != form.addressesStarted) take(form.addressesStarted);

    std::cout << "summary: " << outcome.summary << "\n";
    if (form.addressesStarted != total || samples.size() < 3) {
        std::cout << "verdict: INCOMPLETE, the run covered " << form.addressesStarted << " of " << total
                  << " addresses\n";
        return 1;
    }
    const Sample& first = samples[1];
    const Sample& last = samples.back();
    const long long rssGrowth = last.rssKb - first.rssKb;
    const long long peakGrowth = last.peakKb - first.peakKb;
    const bool flat = rssGrowth <= allowedKb && peakGrowth <= allowedKb;
    std::cout << "verdict: " << (flat ? "FLAT" : "GROWING") << ", from address " << first.addresses << " to "
              << last.addresses << " VmRSS grew by " << rssGrowth << " kB and VmHWM by " << peakGrowth
              << " kB (allowed " << allowedKb << " kB)\n";
    return flat ? 0 : 1;
}
