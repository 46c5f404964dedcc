// sortcost-ceiling: the most expensive inputs known for each benchmark.
//
//   sortcost-ceiling write PROGRAM N FILE   write the costliest known input of N
//                                  elements (words, or bytes for qsort_bytes)
//                                  and print the cost the program reports for it
//   sortcost-ceiling exhaustive N           the exact maxima over all permutations of
//                                  1..N distinct elements, for both quicksorts
//   sortcost-ceiling growth [MAX_N]         cost against n for sorted, random, reversed
//                                  and adversarial inputs, tab-separated
//
// Every cost printed comes from the in-process entry points, so it is the
// number the program prints for the same bytes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <numeric>
#include <string>
#include <vector>

#include "Hooks.h"
#include "driver.h"
#include "gnuqsort.h"
#include "isort.h"

namespace {

using bytes_t = std::vector<unsigned char>;

std::uint64_t cost_of(const std::string& program, const bytes_t& in) {
    if (program == "isort_words") return isort_words_cost(in.data(), in.size());
    if (program == "qsort_words") return qsort_words_cost(in.data(), in.size());
    return qsort_bytes_cost(in.data(), in.size());
}

bytes_t as_words(const std::vector<std::uint32_t>& v) {
    bytes_t out(v.size() * 4);
    if (!v.empty()) std::memcpy(out.data(), v.data(), out.size());
    return out;
}

// McIlroy's adversary ("A Killer Adversary for Quicksort", 1999). Every item
// starts as gas: unknown, and larger than every value fixed so far. When two
// gas items meet, one is frozen to the next value: the first if it is the
// current candidate, else the second. Then a gas operand becomes the
// candidate. The answers stay consistent with the values finally given, so
// sorting those values makes the same comparisons.
struct adversary {
    std::vector<std::uint32_t> val;
    std::uint32_t gas;
    std::uint32_t next = 0;
    std::int64_t candidate = -1;  // none yet

    explicit adversary(std::size_t n) : val(n, static_cast<std::uint32_t>(n)), gas(static_cast<std::uint32_t>(n)) {}

    // Compares item numbers stored as Item; one step a call, as the
    // benchmarks' comparators take.
    template <class Item>
    static int compare(const void* a, const void* b, void* arg) {
        cost_inc();
        auto& s = *static_cast<adversary*>(arg);
        Item x;
        Item y;
        std::memcpy(&x, a, sizeof x);
        std::memcpy(&y, b, sizeof y);
        if (s.val[x] == s.gas && s.val[y] == s.gas) {
            if (x == s.candidate)
                s.val[x] = s.next++;
            else
                s.val[y] = s.next++;
        }
        if (s.val[x] == s.gas)
            s.candidate = x;
        else if (s.val[y] == s.gas)
            s.candidate = y;
        return s.val[x] < s.val[y] ? -1 : s.val[x] > s.val[y];
    }
};

// Runs the quicksort over item numbers of Item's size against the adversary;
// returns the values it fixed and the cost the program would report for them
// (its entry steps, test_qsort's and the sort's, comparator calls included).
template <class Item>
std::vector<std::uint32_t> adversarial_values(std::size_t n, std::uint64_t& cost) {
    adversary s(n);
    std::vector<Item> items(n);
    std::iota(items.begin(), items.end(), Item{0});
    std::uint64_t before = cost_read();
    gnu_quicksort(items.data(), n, sizeof(Item), &adversary::compare<Item>, &s);
    cost = 3 + (cost_read() - before);
    for (auto& v : s.val)
        if (v == s.gas) v = s.next++;
    return s.val;
}

std::uint64_t splitmix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
}

// Inputs of n elements of the program's kind; values run over 0..n-1 (over
// the 256 byte values, in order, for qsort_bytes when n > 256).
bytes_t shaped(const std::string& program, const std::string& shape, std::size_t n) {
    std::vector<std::uint32_t> v(n);
    std::uint64_t state = n;
    for (std::size_t i = 0; i < n; ++i) {
        if (shape == "sorted") v[i] = static_cast<std::uint32_t>(i);
        else if (shape == "reversed") v[i] = static_cast<std::uint32_t>(n - 1 - i);
        else v[i] = static_cast<std::uint32_t>(splitmix(state));
    }
    if (program != "qsort_bytes") return as_words(v);
    bytes_t out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<unsigned char>(shape == "random" ? v[i] : n <= 256 ? v[i] : v[i] * 256 / n);
    return out;
}

// The program's cost for the adversary's input, which must be what the
// adversary's own run cost: the same comparisons, the same moves.
std::uint64_t replayed_cost(const std::string& program, const bytes_t& in, std::uint64_t run) {
    std::uint64_t cost = cost_of(program, in);
    if (!in.empty() && cost != run) {
        std::fprintf(stderr, "sortcost-ceiling: the adversary's run cost %llu, its input %llu\n",
                     static_cast<unsigned long long>(run), static_cast<unsigned long long>(cost));
        std::exit(1);
    }
    return cost;
}

struct ceiling_input {
    bytes_t bytes;
    std::uint64_t cost;
    std::string how;
};

// The costliest input known for n elements of the program's kind.
ceiling_input costliest(const std::string& program, std::size_t n) {
    if (program == "isort_words") {
        // Every pair out of order: n (n - 1) / 2 exchanges, the most there are.
        bytes_t in = shaped(program, "reversed", n);
        return {in, cost_of(program, in), "distinct words in descending order, the exact maximum"};
    }
    if (program == "qsort_words") {
        std::uint64_t run = 0;
        bytes_t in = as_words(adversarial_values<std::uint32_t>(n, run));
        return {in, replayed_cost(program, in, run), "McIlroy's adversary"};
    }
    if (n <= 256) {
        std::uint64_t run = 0;
        auto v = adversarial_values<std::uint8_t>(n, run);
        bytes_t in(v.begin(), v.end());
        return {in, replayed_cost(program, in, run), "McIlroy's adversary"};
    }
    // More elements than byte values: the adversary needs n distinct values.
    // Try what is known to be expensive and keep the costliest.
    std::uint64_t unused = 0;
    auto adv = adversarial_values<std::uint16_t>(n, unused);
    std::vector<ceiling_input> tries;
    bytes_t capped(n), scaled(n), folded(n);
    for (std::size_t i = 0; i < n; ++i) {
        capped[i] = static_cast<unsigned char>(std::min<std::uint32_t>(adv[i], 255));
        scaled[i] = static_cast<unsigned char>(adv[i] * 256 / n);
        folded[i] = static_cast<unsigned char>(adv[i] % 256);
    }
    // Capped: the first 255 items the adversary fixed keep their values, so
    // the first partitions still go wrong; the rest are one equal block.
    tries.push_back({capped, 0, "McIlroy's adversary for n, values above 255 cut to 255"});
    tries.push_back({scaled, 0, "McIlroy's adversary for n, values scaled to bytes"});
    tries.push_back({folded, 0, "McIlroy's adversary for n, values modulo 256"});
    tries.push_back({shaped(program, "reversed", n), 0, "descending bytes"});
    for (auto& t : tries) t.cost = cost_of(program, t.bytes);
    auto best = *std::max_element(tries.begin(), tries.end(),
                                  [](const auto& a, const auto& b) { return a.cost < b.cost; });
    best.how = "the 256 byte values limit the adversary; best known: " + best.how;
    return best;
}

bool known_program(const std::string& p) { return p == "isort_words" || p == "qsort_words" || p == "qsort_bytes"; }

int usage() {
    std::fprintf(stderr,
                 "Usage: sortcost-ceiling write isort_words|qsort_words|qsort_bytes N FILE\n"
                 "       sortcost-ceiling exhaustive N   (N at most 10)\n"
                 "       sortcost-ceiling growth [MAX_N]\n");
    return 2;
}

int write(const std::string& program, std::size_t n, const char* path) {
    ceiling_input c = costliest(program, n);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(c.bytes.data()), static_cast<std::streamsize>(c.bytes.size()));
    if (!out.flush()) {
        std::perror(path);
        return 1;
    }
    std::printf("%s n=%zu cost=%llu (%s)\n", program.c_str(), n, static_cast<unsigned long long>(c.cost),
                c.how.c_str());
    if (program == "isort_words" && n > 0)
        std::printf("closed form: 2 x n + 4 + n x (n - 1) / 2 = %llu\n",
                    static_cast<unsigned long long>(2 * n + 4 + n * (n - 1) / 2));
    return 0;
}

// The maximum cost over all orders of 0..n-1, and how many orders reach it.
void exhaustive_row(std::size_t n) {
    std::vector<std::uint32_t> perm(n);
    std::iota(perm.begin(), perm.end(), 0u);
    std::uint64_t words_max = 0, bytes_max = 0, words_hits = 0, bytes_hits = 0;
    bytes_t b(n);
    do {
        bytes_t w = as_words(perm);
        for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<unsigned char>(perm[i]);
        std::uint64_t cw = qsort_words_cost(w.data(), w.size());
        std::uint64_t cb = qsort_bytes_cost(b.data(), b.size());
        if (cw > words_max) words_max = cw, words_hits = 0;
        if (cw == words_max) ++words_hits;
        if (cb > bytes_max) bytes_max = cb, bytes_hits = 0;
        if (cb == bytes_max) ++bytes_hits;
    } while (std::next_permutation(perm.begin(), perm.end()));
    std::printf("%zu\t%llu\t%llu\t%llu\t%llu\t%llu\t%llu\n", n, static_cast<unsigned long long>(words_max),
                static_cast<unsigned long long>(words_hits),
                static_cast<unsigned long long>(costliest("qsort_words", n).cost),
                static_cast<unsigned long long>(bytes_max), static_cast<unsigned long long>(bytes_hits),
                static_cast<unsigned long long>(costliest("qsort_bytes", n).cost));
    std::fflush(stdout);
}

void growth(std::size_t max_n) {
    std::printf("program\tshape\tn\tcost\n");
    for (const char* program : {"isort_words", "qsort_words", "qsort_bytes"}) {
        for (std::size_t n = 16; n <= max_n; n *= 2) {
            for (const char* shape : {"sorted", "random", "reversed"})
                std::printf("%s\t%s\t%zu\t%llu\n", program, shape, n,
                            static_cast<unsigned long long>(cost_of(program, shaped(program, shape, n))));
            std::printf("%s\tadversarial\t%zu\t%llu\n", program, n,
                        static_cast<unsigned long long>(costliest(program, n).cost));
            std::fflush(stdout);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    std::string cmd = argv[1];
    if (cmd == "write" && argc == 5 && known_program(argv[2]))
        return write(argv[2], std::strtoull(argv[3], nullptr, 10), argv[4]);
    if (cmd == "exhaustive" && argc == 3) {
        std::size_t max_n = std::strtoull(argv[2], nullptr, 10);
        if (max_n > 10) return usage();
        std::printf("n\tqsort_words max\torders\tadversary\tqsort_bytes max\torders\tadversary\n");
        for (std::size_t n = 1; n <= max_n; ++n) exhaustive_row(n);
        return 0;
    }
    if (cmd == "growth" && argc <= 3) {
        growth(argc == 3 ? std::strtoull(argv[2], nullptr, 10) : 16384);
        return 0;
    }
    return usage();
}
