// The numbers an oracle script printed, taken in order by the parts of a test that read them one after another
// (an input block, then its reference, then the next block...).
#pragma once

#include <string>
#include <vector>

#include "support/PythonOracle.h"

namespace kvetest {

class OracleValues {
public:
    OracleValues(const std::string &script, const std::vector<std::string> &args)
        : values_(runOracle(script, args))
    {
    }

    bool empty() const { return values_.empty(); }

    // The next `count` numbers; empty once fewer are left, so the comparison that follows fails on its size.
    std::vector<double> take(size_t count)
    {
        std::vector<double> part;
        if (next_ + count <= values_.size())
            part.assign(values_.begin() + static_cast<std::ptrdiff_t>(next_),
                        values_.begin() + static_cast<std::ptrdiff_t>(next_ + count));
        next_ += count;
        return part;
    }

    std::vector<float> takeFloats(size_t count)
    {
        const std::vector<double> part = take(count);
        return std::vector<float>(part.begin(), part.end());
    }

    double takeOne()
    {
        const std::vector<double> part = take(1);
        return part.empty() ? 0.0 : part[0];
    }

private:
    std::vector<double> values_;
    size_t next_ = 0;
};

} // namespace kvetest
