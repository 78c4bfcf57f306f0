#include "site/unified_diff.h"

#include <algorithm>
#include <string>
#include <vector>

namespace lumora::site {

namespace {

// A line with its line end. CR LF, LF and a lone CR each end a line.
std::vector<TextView> SplitLines(TextView bytes) {
    std::vector<TextView> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' || bytes[i] == '\r') {
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
            lines.push_back(bytes.substr(start, i + 1 - start));
            start = i + 1;
        }
    }
    if (start < bytes.size())
        lines.push_back(bytes.substr(start));
    return lines;
}

enum class Op { kKeep, kDelete, kInsert };
struct Edit {
    Op op;
    std::size_t oldIndex;  // line in the old version (kKeep, kDelete)
    std::size_t newIndex;  // line in the new version (kKeep, kInsert)
};

// The shortest edit script between a and b (Myers' greedy algorithm). The traces it keeps
// grow with the number of differing lines times the length, which is small for what
// insert changes; common leading and trailing lines are taken off before it runs.
std::vector<Edit> ShortestEdit(const std::vector<TextView>& a, const std::vector<TextView>& b) {
    std::size_t prefix = 0;
    while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix]) ++prefix;
    std::size_t suffix = 0;
    while (suffix < a.size() - prefix && suffix < b.size() - prefix &&
           a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix]) {
        ++suffix;
    }
    const long n = static_cast<long>(a.size() - prefix - suffix);
    const long m = static_cast<long>(b.size() - prefix - suffix);
    auto A = [&](long i) { return a[prefix + static_cast<std::size_t>(i)]; };
    auto B = [&](long j) { return b[prefix + static_cast<std::size_t>(j)]; };

    const long max = n + m;
    const long offset = max + 1;
    std::vector<long> v(static_cast<std::size_t>(2 * max + 3), 0);
    std::vector<std::vector<long>> trace;
    long found = -1;
    for (long d = 0; d <= max && found < 0; ++d) {
        trace.push_back(v);
        for (long k = -d; k <= d; k += 2) {
            long x;
            if (k == -d || (k != d && v[static_cast<std::size_t>(offset + k - 1)] <
                                          v[static_cast<std::size_t>(offset + k + 1)])) {
                x = v[static_cast<std::size_t>(offset + k + 1)];
            } else {
                x = v[static_cast<std::size_t>(offset + k - 1)] + 1;
            }
            long y = x - k;
            while (x < n && y < m && A(x) == B(y)) {
                ++x;
                ++y;
            }
            v[static_cast<std::size_t>(offset + k)] = x;
            if (x >= n && y >= m) {
                found = d;
                break;
            }
        }
    }

    // Walk the traces back from the end to recover the script.
    std::vector<Edit> middle;
    long x = n;
    long y = m;
    for (long d = found; d > 0; --d) {
        const std::vector<long>& pv = trace[static_cast<std::size_t>(d)];
        const long k = x - y;
        long prevK;
        if (k == -d || (k != d && pv[static_cast<std::size_t>(offset + k - 1)] <
                                      pv[static_cast<std::size_t>(offset + k + 1)])) {
            prevK = k + 1;
        } else {
            prevK = k - 1;
        }
        const long prevX = pv[static_cast<std::size_t>(offset + prevK)];
        const long prevY = prevX - prevK;
        while (x > prevX && y > prevY) {
            --x;
            --y;
            middle.push_back({Op::kKeep, static_cast<std::size_t>(x), static_cast<std::size_t>(y)});
        }
        if (x == prevX) {
            --y;
            middle.push_back(
                {Op::kInsert, static_cast<std::size_t>(x), static_cast<std::size_t>(y)});
        } else {
            --x;
            middle.push_back(
                {Op::kDelete, static_cast<std::size_t>(x), static_cast<std::size_t>(y)});
        }
    }
    while (x > 0 && y > 0) {
        --x;
        --y;
        middle.push_back({Op::kKeep, static_cast<std::size_t>(x), static_cast<std::size_t>(y)});
    }
    std::reverse(middle.begin(), middle.end());

    std::vector<Edit> edits;
    edits.reserve(prefix + middle.size() + suffix);
    for (std::size_t i = 0; i < prefix; ++i) edits.push_back({Op::kKeep, i, i});
    for (const Edit& e : middle) edits.push_back({e.op, e.oldIndex + prefix, e.newIndex + prefix});
    for (std::size_t i = 0; i < suffix; ++i) {
        edits.push_back({Op::kKeep, a.size() - suffix + i, b.size() - suffix + i});
    }
    return edits;
}

// "start,count" of a hunk header; an empty side names the line before it, as diff does.
std::string Range(std::size_t first, std::size_t count) {
    const std::size_t start = count == 0 ? first : first + 1;
    return std::to_string(start) + "," + std::to_string(count);
}

// A character (the bytes of one) that a bare name in a header line cannot hold.
bool NeedsQuoting(const Decoded& d) {
    const bool invalid = d.cp == kReplacementCharacter && d.length == 1;
    return invalid || d.cp <= 0x20 || (d.cp >= 0x7F && d.cp <= 0x9F);
}

void AppendOctal(Text& out, Char c) {
    out += '\\';
    out += static_cast<char>('0' + (Code(c) >> 6));
    out += static_cast<char>('0' + ((Code(c) >> 3) & 7));
    out += static_cast<char>('0' + (Code(c) & 7));
}

void AppendLine(Text& out, char mark, TextView line) {
    out += mark;
    out.append(line);
    if (line.empty() || (line.back() != '\n' && line.back() != '\r'))
        out += "\n\\ No newline at end of file\n";
}

}  // namespace

Text DiffName(TextView name) {
    bool quote = name.starts_with('"');
    for (std::size_t i = 0; i < name.size() && !quote;) {
        const Decoded d = CharAt(name, i);
        quote = NeedsQuoting(d);
        i += d.length;
    }
    if (!quote)
        return Text(name);
    Text out = "\"";
    for (std::size_t i = 0; i < name.size();) {
        const Decoded d = CharAt(name, i);
        if (d.cp == '"' || d.cp == '\\') {
            out += '\\';
            out += static_cast<char>(d.cp);
        } else if (d.cp == '\t') {
            out += "\\t";
        } else if (d.cp == '\n') {
            out += "\\n";
        } else if (d.cp != ' ' && NeedsQuoting(d)) {
            for (const Char c : name.substr(i, d.length)) AppendOctal(out, c);
        } else {
            out.append(name.substr(i, d.length));
        }
        i += d.length;
    }
    return out + '"';
}

Text UnifiedDiff(TextView oldBytes, TextView newBytes, TextView oldName, TextView newName,
                 int context) {
    if (oldBytes == newBytes)
        return {};
    const std::vector<TextView> a = SplitLines(oldBytes);
    const std::vector<TextView> b = SplitLines(newBytes);
    const std::vector<Edit> edits = ShortestEdit(a, b);
    const std::size_t ctx = static_cast<std::size_t>(std::max(context, 0));

    Text out;
    out.append("--- ").append(DiffName(oldName)).append("\n");
    out.append("+++ ").append(DiffName(newName)).append("\n");
    std::size_t i = 0;
    while (i < edits.size()) {
        if (edits[i].op == Op::kKeep) {
            ++i;
            continue;
        }
        // A hunk: from ctx kept lines before the first change to ctx kept lines after the
        // last change that is no more than 2*ctx kept lines from the one before it.
        const std::size_t begin = i >= ctx ? i - ctx : 0;
        std::size_t end = i;
        for (;;) {
            while (end < edits.size() && edits[end].op != Op::kKeep) ++end;
            std::size_t kept = 0;
            while (end + kept < edits.size() && edits[end + kept].op == Op::kKeep) ++kept;
            if (end + kept < edits.size() && kept <= 2 * ctx) {
                end += kept;
                continue;
            }
            end += std::min(kept, ctx);
            break;
        }
        std::size_t oldFirst = 0, newFirst = 0, oldCount = 0, newCount = 0;
        bool haveOld = false, haveNew = false;
        for (std::size_t j = begin; j < end; ++j) {
            const Edit& e = edits[j];
            if (e.op != Op::kInsert) {
                if (!haveOld)
                    oldFirst = e.oldIndex;
                haveOld = true;
                ++oldCount;
            }
            if (e.op != Op::kDelete) {
                if (!haveNew)
                    newFirst = e.newIndex;
                haveNew = true;
                ++newCount;
            }
        }
        if (!haveOld)
            oldFirst = edits[begin].oldIndex;
        if (!haveNew)
            newFirst = edits[begin].newIndex;
        out += "@@ -" + Range(oldFirst, oldCount) + " +" + Range(newFirst, newCount) + " @@\n";
        for (std::size_t j = begin; j < end; ++j) {
            const Edit& e = edits[j];
            if (e.op == Op::kKeep)
                AppendLine(out, ' ', a[e.oldIndex]);
            else if (e.op == Op::kDelete)
                AppendLine(out, '-', a[e.oldIndex]);
            else
                AppendLine(out, '+', b[e.newIndex]);
        }
        i = end;
    }
    return out;
}

}  // namespace lumora::site
