// The curve and table lookups: the two-segment curve continuous with a continuous slope across its knee, the
// integer, logarithmic-axis and two-dimensional lookups against straight-line interpolation on their axes, with the
// ends, NaN and sizes a host wrote past what was built, and the coefficient table's update modes, its refusal of a
// row that does not fit the target and the pointers a layout aims.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "Modules/Advanced/Lookups.h"
#include "support/ModuleVariables.h"
#include "support/TestEngine.h"
#include "support/TestModules.h"

namespace {

using kvetest::bitsOf;
using kvetest::privateArray;
using kvetest::variable;

constexpr uint32_t kTwoPiece = 0xBEEF0D44u;
constexpr uint32_t kLookupIntFloat = 0xBEEF0D3Eu;
constexpr uint32_t kLookupIntInt = 0xBEEF0D3Fu;
constexpr uint32_t kLookupLogX = 0xBEEF0D40u;
constexpr uint32_t kInterp2d = 0xBEEF0D3Du;
constexpr uint32_t kCoeffTable = 0xBEEF0CCFu;

const ModClassDescriptor *const kTable[] = {
    &kve_modTwoPieceInterpV2Class.record, &kve_modTableLookupIntFloatClass.record,
    &kve_modTableLookupIntIntClass.record, &kve_modTableLookupLogXClass.record,
    &kve_modTableInterp2dClass.record,    &kve_modCoeffTableClass.record,
    &kvetest::kGainClass.record,
};

class Lookups : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_->classTable = kTable;
        engine_->classCount = sizeof kTable / sizeof kTable[0];
        kvetest::setLog().clear();
    }
    ClassModule *build(uint32_t classId, uint32_t wireWord, std::initializer_list<GenericWire *> wires,
                       std::initializer_list<uint32_t> args)
    {
        int32_t status = KVE_OK;
        ClassModule *m = engine_.module(classId, wireWord, wires, args, &status);
        EXPECT_NE(m, nullptr) << "status " << status;
        return m;
    }
    void pump(ClassModule *m) { ASSERT_EQ(kve_fwPumpModule(engine_.get(), m), KVE_OK); }
    // The outputs of a one-input module for the given inputs, one block.
    template <class In, class Out> std::vector<Out> run(ClassModule *m, GenericWire *in, const std::vector<In> &x)
    {
        std::copy(x.begin(), x.end(), static_cast<In *>(in->buffer));
        pump(m);
        const auto *y = static_cast<const Out *>(m->wires[KVE_PACKED_INPUTS(m->packed)]->buffer);
        return std::vector<Out>(y, y + x.size());
    }

    kvetest::TestEngine engine_;
};

// ---- Two-segment curve ----

struct Curve {
    float knee;
    int32_t useRatios;
    float slopeLow, slopeHigh, ratioLow, ratioHigh, width;
};

// A curve module on one input and one output.
ClassModule *buildCurve(kvetest::TestEngine &engine, GenericWire *in, GenericWire *out, const Curve &c)
{
    const uint32_t args[] = {bitsOf(c.knee),     static_cast<uint32_t>(c.useRatios), bitsOf(c.slopeLow),
                             bitsOf(c.slopeHigh), bitsOf(c.ratioLow), bitsOf(c.ratioHigh), bitsOf(c.width)};
    GenericWire *wires[] = {in, out};
    int32_t status = KVE_OK;
    ClassModule *m = ClassModule_Constructor3(engine.get(), kTwoPiece, &status, 0x101, wires, 7, args);
    EXPECT_NE(m, nullptr) << "status " << status;
    return m;
}

TEST_F(Lookups, TwoPieceCurveAndItsSlopeAreContinuousAcrossTheKnee)
{
    const Curve curves[] = {
        {-20.0f, 0, 1.0f, 0.25f, 0, 0, 6.0f},
        {-10.0f, 1, 0, 0, 1.0f, 4.0f, 3.0f}, // a 4:1 compressor curve
        {0.5f, 0, 2.0f, 0.5f, 0, 0, 0.2f},
        {-30.0f, 1, 0, 0, 0.5f, 2.0f, 10.0f},
    };
    for (const Curve &c : curves) {
        const std::string what = "knee " + std::to_string(c.knee) + " width " + std::to_string(c.width);
        const float low = c.useRatios != 0 ? 1.0f / c.ratioLow : c.slopeLow;
        const float high = c.useRatios != 0 ? 1.0f / c.ratioHigh : c.slopeHigh;
        const float w = c.width;
        const float d = w * 1e-3f;
        // Pairs of points just inside and outside each end of the knee, and two far on each line.
        const std::vector<float> x = {c.knee - w - d, c.knee - w + d, c.knee + w - d, c.knee + w + d,
                                      c.knee - 5 * w,  c.knee - 3 * w, c.knee + 3 * w, c.knee + 5 * w};
        GenericWire *in = engine_.wire(1, static_cast<uint32_t>(x.size()));
        GenericWire *out = engine_.wire(1, static_cast<uint32_t>(x.size()));
        ClassModule *m = buildCurve(engine_, in, out, c);
        const std::vector<float> y = run<float, float>(m, in, x);
        for (size_t i = 4; i < 8; ++i) {
            const float slope = x[i] < c.knee ? low : high;
            EXPECT_NEAR(y[i], c.knee + (x[i] - c.knee) * slope, 1e-4f * std::fabs(y[i]) + 1e-5f) << what;
        }
        for (size_t end = 0; end < 4; end += 2) {
            const float slope = end == 0 ? low : high;
            // No jump: across 2d the curve moves as the line would.
            EXPECT_NEAR(y[end + 1] - y[end], 2 * d * slope, 2e-3f * std::fabs(2 * d * slope) + 2e-5f) << what;
        }
        // The slope inside the knee meets each line's: (c2 x + c1)' = 2 c2 x + c1.
        const float *poly = privateArray<float>(m, 7);
        EXPECT_NEAR(2 * poly[2] * (c.knee - w) + poly[1], low, 1e-4f) << what;
        EXPECT_NEAR(2 * poly[2] * (c.knee + w) + poly[1], high, 1e-4f) << what;
    }
}

TEST_F(Lookups, TwoPieceCurveWithoutKneeIsTwoLinesMeetingAtTheKnee)
{
    const std::vector<float> x = {-12.0f, -6.0f, -6.0001f, -5.9999f, 0.0f};
    for (float width : {0.0f, -0.0f}) {
        GenericWire *in = engine_.wire(1, static_cast<uint32_t>(x.size()));
        GenericWire *out = engine_.wire(1, static_cast<uint32_t>(x.size()));
        ClassModule *m = buildCurve(engine_, in, out, {-6.0f, 0, 1.0f, 0.5f, 0, 0, width});
        const std::vector<float> y = run<float, float>(m, in, x);
        const std::vector<float> expected = {-12.0f, -6.0f, -6.0001f, -5.99995f, -3.0f};
        for (size_t i = 0; i < x.size(); ++i)
            EXPECT_NEAR(y[i], expected[i], 1e-5f) << "x " << x[i];
        EXPECT_EQ(std::vector<float>(privateArray<float>(m, 7), privateArray<float>(m, 7) + 4),
                  std::vector<float>(4, 0.0f));
    }
}

TEST_F(Lookups, TwoPieceCurveTakesAZeroRatioAsASteepLineAndANegativeWidthAsItsMagnitude)
{
    const std::vector<float> x = {-9.0f, -7.5f, -6.0f, -4.5f, -3.0f};
    GenericWire *in = engine_.wire(1, 5);
    GenericWire *out = engine_.wire(1, 5);
    ClassModule *wide = buildCurve(engine_, in, out, {-6.0f, 0, 1.0f, 0.25f, 0, 0, 2.0f});
    const std::vector<float> reference = run<float, float>(wide, in, x);
    ClassModule *negative = buildCurve(engine_, in, out, {-6.0f, 0, 1.0f, 0.25f, 0, 0, -2.0f});
    EXPECT_EQ((run<float, float>(negative, in, x)), reference);

    ClassModule *limiter = buildCurve(engine_, in, out, {-6.0f, 1, 0, 0, 0.0f, 0.0f, 0.0f});
    EXPECT_EQ(variable<float>(limiter, 2), 1000000.0f);
    EXPECT_EQ(variable<float>(limiter, 3), 1000000.0f);
}

// ---- Integer-index lookups ----

TEST_F(Lookups, IntegerIndexReadsItsEntryAndTheEndsBeyondIt)
{
    const std::vector<int32_t> index = {-3, 0, 2, 3, 99, INT32_MIN, INT32_MAX};
    const std::vector<int32_t> entry = {0, 0, 2, 3, 3, 0, 3};
    const int32_t values[] = {10, -20, 30, 40};
    for (uint32_t classId : {kLookupIntFloat, kLookupIntInt}) {
        GenericWire *in = engine_.wire(1, static_cast<uint32_t>(index.size()));
        GenericWire *out = engine_.wire(1, static_cast<uint32_t>(index.size()));
        ClassModule *m = build(classId, 0x101, {in, out}, {4});
        for (uint32_t k = 0; k < 4; ++k) {
            if (classId == kLookupIntFloat)
                privateArray<float>(m, 1)[k] = static_cast<float>(values[k]) + 0.5f;
            else
                privateArray<int32_t>(m, 1)[k] = values[k];
        }
        auto expected = [&](size_t i) {
            const int32_t v = values[entry[i]];
            return classId == kLookupIntFloat ? bitsOf(static_cast<float>(v) + 0.5f) : static_cast<uint32_t>(v);
        };
        // A size written past the table reads only what was built; an empty table reads 0.
        for (int32_t points : {4, 1000}) {
            variable<int32_t>(m, 0) = points;
            const std::vector<uint32_t> y = run<int32_t, uint32_t>(m, in, index);
            for (size_t i = 0; i < index.size(); ++i)
                EXPECT_EQ(y[i], expected(i)) << std::hex << classId << std::dec << " index " << index[i];
        }
        variable<int32_t>(m, 0) = 0;
        EXPECT_EQ((run<int32_t, uint32_t>(m, in, index)), std::vector<uint32_t>(index.size(), 0u));
        if (classId == kLookupIntFloat) {
            // Bypassed, the float lookup still looks up.
            variable<int32_t>(m, 0) = 4;
            ASSERT_EQ(kve_fwSetModuleState(m, KVE_STATE_BYPASSED), KVE_OK);
            EXPECT_EQ((run<int32_t, uint32_t>(m, in, index))[2], expected(2));
        }
    }
}

// ---- Logarithmic-axis lookup ----

// Straight-line interpolation of a table on ascending axis points, the ends held; or the nearest point.
double onAxis(double a, const std::vector<double> &axis, const std::vector<double> &t, bool interpolate)
{
    if (a <= axis.front())
        return t.front();
    if (a >= axis.back())
        return t.back();
    size_t i = 0;
    while (a > axis[i + 1])
        ++i;
    const double f = (a - axis[i]) / (axis[i + 1] - axis[i]);
    if (!interpolate)
        return f < 0.5 ? t[i] : t[i + 1];
    return t[i] + f * (t[i + 1] - t[i]);
}

TEST_F(Lookups, LogAxisLookupInterpolatesOnItsAxisForEveryScale)
{
    const std::vector<double> t = {0, 1, 4, 9, 16};
    struct Case {
        int32_t xScale;
        float minX, maxX;
        std::vector<float> x;
        double (*axisOf)(double);
        std::vector<double> axis;
    } cases[] = {
        {0, 0.01f, 1.0f, {-0.1f, 0.0316f, 0.06f, 0.0f, 2.0f, 0.5f, -0.9f, 0.001f},
         [](double v) { return 20 * std::log10(std::fabs(v)); }, {-40, -30, -20, -10, 0}},
        {1, 0.0f, 2.0f, {-1.0f, 0.3f, 1.7f, 0.0f, 2.5f, -1.99f},
         [](double v) { return std::exp2(std::fabs(v)); }, {1, 1.75, 2.5, 3.25, 4}},
        {2, 1.0f, 5.0f, {2.5f, 2.4f, 2.6f, 0.0f, 7.0f, 4.99f, 1.01f}, [](double v) { return v; }, {1, 2, 3, 4, 5}},
    };
    for (const Case &c : cases) {
        for (int32_t interpolation : {0, 1}) {
            const std::string what = "xScale " + std::to_string(c.xScale) + " interpolation " +
                                     std::to_string(interpolation);
            std::vector<float> x = c.x;
            x.push_back(std::numeric_limits<float>::quiet_NaN());
            GenericWire *in = engine_.wire(1, static_cast<uint32_t>(x.size()));
            GenericWire *out = engine_.wire(1, static_cast<uint32_t>(x.size()));
            ClassModule *m = build(kLookupLogX, 0x101, {in, out},
                                   {5, static_cast<uint32_t>(c.xScale), static_cast<uint32_t>(interpolation),
                                    bitsOf(c.minX), bitsOf(c.maxX), 0, 0, 0, 0});
            std::copy(t.begin(), t.end(), privateArray<float>(m, 9));
            const std::vector<float> y = run<float, float>(m, in, x);
            for (size_t i = 0; i + 1 < x.size(); ++i)
                EXPECT_NEAR(y[i], onAxis(c.axisOf(x[i]), c.axis, t, interpolation != 0), 2e-3)
                    << what << " x " << x[i];
            EXPECT_EQ(y.back(), 0.0f) << what << ": NaN reads entry 0";
        }
    }
}

TEST_F(Lookups, LogAxisIsDerivedOnlyWhenItsAxisChangesAndNeverPastTheBuiltTable)
{
    GenericWire *in = engine_.wire(1, 3);
    GenericWire *out = engine_.wire(1, 3);
    ClassModule *m = build(kLookupLogX, 0x101, {in, out}, {3, 2, 1, bitsOf(0.0f), bitsOf(2.0f), 0, 0, 0, 0});
    float *t = privateArray<float>(m, 9);
    t[0] = 1.0f;
    t[1] = 2.0f;
    t[2] = 3.0f;
    EXPECT_EQ(variable<float>(m, 8), 1.0f);
    variable<float>(m, 4) = 4.0f;
    // The interpolation bit leaves the axis; the maxX bit derives it again.
    ASSERT_EQ(ClassModule_Set(m, 1u << 10), KVE_OK);
    EXPECT_EQ(variable<float>(m, 8), 1.0f);
    ASSERT_EQ(ClassModule_Set(m, 1u << 12), KVE_OK);
    EXPECT_EQ(variable<float>(m, 8), 0.5f);
    // A point count written past the table spans only the three entries built, in both reading modes.
    variable<int32_t>(m, 0) = 1000;
    ASSERT_EQ(ClassModule_Set(m, 1u << 9), KVE_OK);
    EXPECT_EQ(variable<float>(m, 8), 0.5f);
    for (int32_t interpolation : {0, 1}) {
        variable<int32_t>(m, 2) = interpolation;
        const std::vector<float> y = run<float, float>(m, in, {3.9999f, 2.0f, 1.0f});
        const std::vector<float> expected = {3.0f, 2.0f, interpolation == 0 ? 2.0f : 1.5f};
        for (size_t i = 0; i < 3; ++i)
            EXPECT_NEAR(y[i], expected[i], 1e-4f) << "interpolation " << interpolation << " " << i;
    }
}

// ---- Two-dimensional table ----

TEST_F(Lookups, TwoDimensionalTableIsBilinearOverItsGrid)
{
    // A plane is its own bilinear interpolation: T[r][c] = 3r + 5c + 1 at u = (x + 1)(n - 1) / 2, v likewise.
    const std::vector<float> x = {-1.0f, 0.0f, 0.5f, 1.0f, -2.0f, NAN, 0.25f};
    const std::vector<float> y = {-1.0f, 0.0f, -0.5f, 1.0f, 3.0f, 0.0f, 0.75f};
    GenericWire *xw = engine_.wire(1, 7);
    GenericWire *yw = engine_.wire(1, 7);
    GenericWire *out = engine_.wire(1, 7);
    ClassModule *m = build(kInterp2d, 0x102, {xw, yw, out}, {3});
    float *t = privateArray<float>(m, 1);
    for (uint32_t r = 0; r < 3; ++r)
        for (uint32_t c = 0; c < 3; ++c)
            t[r * 3 + c] = static_cast<float>(3 * r + 5 * c + 1);
    std::copy(x.begin(), x.end(), static_cast<float *>(xw->buffer));
    std::copy(y.begin(), y.end(), static_cast<float *>(yw->buffer));
    const float top = 2.0f * 0.9999f; // the grid's last cell is never left
    const std::vector<float> expected = {1.0f,  9.0f, 8.0f, 8 * top + 1, 5 * top + 1, 6.0f, 3 * 1.25f + 5 * 1.75f + 1};
    // A side written past the table reads the grid built.
    for (int32_t side : {3, 10}) {
        variable<int32_t>(m, 0) = side;
        pump(m);
        for (size_t i = 0; i < x.size(); ++i)
            EXPECT_NEAR(static_cast<float *>(out->buffer)[i], expected[i], 1e-5f) << "side " << side << " " << i;
    }
    // One point is the whole table; no point reads 0.
    variable<int32_t>(m, 0) = 1;
    pump(m);
    EXPECT_EQ(static_cast<float *>(out->buffer)[3], 1.0f);
    variable<int32_t>(m, 0) = 0;
    pump(m);
    EXPECT_EQ(static_cast<float *>(out->buffer)[3], 0.0f);
}

// ---- Coefficient table ----

class CoeffTable : public Lookups {
protected:
    void SetUp() override
    {
        Lookups::SetUp();
        index_ = engine_.wire(1, 1);
        GenericWire *a = engine_.wire(1, 4);
        GenericWire *b = engine_.wire(1, 4);
        table_ = build(kCoeffTable, 0x001, {index_}, {static_cast<uint32_t>(-1), 4, 3, 0});
        target_ = build(kLookupIntFloat, 0x101, {a, b}, {4});
        small_ = build(kLookupIntFloat, 0x101, {a, b}, {3});
        gain_ = build(kvetest::kGainClassId, 0x101, {a, b}, {bitsOf(1.0f), 1});
        for (uint32_t r = 0; r < 3; ++r)
            for (uint32_t k = 0; k < 4; ++k)
                privateArray<float>(table_, 4)[r * 4 + k] = static_cast<float>(10 * r + k);
    }
    // Aims the table's target module at the gain module and its target array at `array`'s table, `offset` in.
    void aim(ClassModule *array, uint32_t offset)
    {
        ASSERT_EQ(kve_fwSetPointer(engine_.get(), KVE_MEMBER_ADDRESS(table_->objectId, 13),
                                   KVE_MEMBER_ADDRESS(gain_->objectId, 0), 0),
                  KVE_OK);
        ASSERT_EQ(kve_fwSetPointer(engine_.get(), KVE_MEMBER_ADDRESS(table_->objectId, 14),
                                   KVE_MEMBER_ADDRESS(array->objectId, 9) | KVE_MEMBER_DEREF, offset),
                  KVE_OK);
    }
    // Runs one block with the given row index; reports whether the target array took a row (and which), whether
    // the gain module's deferred Set was raised, and how many Sets it got at once. Clears the target and the
    // request for the next block.
    struct Block {
        int32_t row; // -1: nothing copied
        bool deferred;
        size_t sets;
    };
    Block block(int32_t index)
    {
        float *target = privateArray<float>(target_, 1);
        std::fill_n(target, 4, -1.0f);
        static_cast<int32_t *>(index_->buffer)[0] = index;
        kvetest::setLog().clear();
        pump(table_);
        Block b{-1, (gain_->packed & KVE_PACKED_DEFERRED_SET) != 0, kvetest::setLog().size()};
        if (target[0] != -1.0f)
            b.row = static_cast<int32_t>(target[0]) / 10;
        if (b.deferred) {
            gain_->packed &= ~KVE_PACKED_DEFERRED_SET;
            engine_->pendingSets--;
        }
        return b;
    }

    GenericWire *index_ = nullptr;
    ClassModule *table_ = nullptr;
    ClassModule *target_ = nullptr;
    ClassModule *small_ = nullptr;
    ClassModule *gain_ = nullptr;
};

TEST_F(CoeffTable, UpdateModesCopyRaiseOrSetAsTheirTableSays)
{
    struct Case {
        int32_t mode;
        std::vector<Block> blocks; // for indices 1, 1, 2, -3, 99
    } cases[] = {
        {0, {{1, false, 0}, {1, false, 0}, {2, false, 0}, {0, false, 0}, {2, false, 0}}},
        {1, {{1, true, 0}, {1, true, 0}, {2, true, 0}, {0, true, 0}, {2, true, 0}}},
        {2, {{1, false, 0}, {-1, false, 0}, {2, false, 0}, {0, false, 0}, {2, false, 0}}},
        {3, {{1, true, 0}, {-1, false, 0}, {2, true, 0}, {0, true, 0}, {2, true, 0}}},
        {4, {{1, false, 1}, {-1, false, 0}, {2, false, 1}, {0, false, 1}, {2, false, 1}}},
        {5, {{-1, false, 0}, {-1, false, 0}, {-1, false, 0}, {-1, false, 0}, {-1, false, 0}}},
        {-1, {{-1, false, 0}, {-1, false, 0}, {-1, false, 0}, {-1, false, 0}, {-1, false, 0}}},
    };
    aim(target_, 0);
    const int32_t indices[] = {1, 1, 2, -3, 99};
    for (const Case &c : cases) {
        variable<int32_t>(table_, 0) = -1;
        variable<int32_t>(table_, 3) = c.mode;
        for (size_t i = 0; i < std::size(indices); ++i) {
            const Block b = block(indices[i]);
            const std::string what = "mode " + std::to_string(c.mode) + " block " + std::to_string(i);
            EXPECT_EQ(b.row, c.blocks[i].row) << what;
            EXPECT_EQ(b.deferred, c.blocks[i].deferred) << what;
            EXPECT_EQ(b.sets, c.blocks[i].sets) << what;
            if (b.row >= 0) {
                EXPECT_EQ(variable<int32_t>(table_, 0), b.row) << what;
                EXPECT_EQ(privateArray<float>(target_, 1)[3], static_cast<float>(10 * b.row + 3)) << what;
            }
        }
    }
}

TEST_F(CoeffTable, RowIsCopiedOnlyWhereItFitsTheTargetArray)
{
    variable<int32_t>(table_, 3) = 0;
    // Nothing happens before the layout aims the target.
    EXPECT_EQ(block(1).row, -1);
    EXPECT_EQ(variable<int32_t>(table_, 0), -1);
    // A three-entry array, or the four-entry one from its second entry on, cannot take a row of four.
    for (auto [array, offset] : {std::pair{small_, 0u}, std::pair{target_, 1u}}) {
        aim(array, offset);
        const std::vector<float> before(privateArray<float>(array, 1), privateArray<float>(array, 1) + 3);
        static_cast<int32_t *>(index_->buffer)[0] = 2;
        pump(table_);
        EXPECT_EQ(std::vector<float>(privateArray<float>(array, 1), privateArray<float>(array, 1) + 3), before);
        EXPECT_EQ(variable<int32_t>(table_, 0), -1);
    }
    // A row length a host wrote shorter fits again: row 2 of two-entry rows is the table's entries 4 and 5.
    variable<int32_t>(table_, 1) = 2;
    pump(table_);
    EXPECT_EQ(privateArray<float>(target_, 1)[1], 10.0f);
    EXPECT_EQ(privateArray<float>(target_, 1)[2], 11.0f);
    EXPECT_EQ(variable<int32_t>(table_, 0), 2);
}

TEST_F(CoeffTable, RowNeverOverwritesWhatTheEngineKeepsOfAModule)
{
    variable<int32_t>(table_, 3) = 0;
    aim(target_, 0);
    // The gain module's public variables (gain, channel count) lie just before its private pointer.
    ASSERT_EQ(kve_fwSetPointer(engine_.get(), KVE_MEMBER_ADDRESS(table_->objectId, 14),
                               KVE_MEMBER_ADDRESS(gain_->objectId, 8), 0),
              KVE_OK);
    auto *gain = reinterpret_cast<kvetest::GainModule *>(gain_);
    float *const peak = gain->peak;
    static_cast<int32_t *>(index_->buffer)[0] = 1;
    pump(table_);
    EXPECT_EQ(gain->peak, peak) << "a row of four reaches the private pointer: refused";
    EXPECT_EQ(gain->gain, 1.0f);
    variable<int32_t>(table_, 1) = 2;
    pump(table_);
    EXPECT_EQ(gain->gain, 2.0f) << "a row of two stays among the public variables";
    EXPECT_EQ(gain->peak, peak);
    // Aimed at the module's header, nothing is written.
    ASSERT_EQ(kve_fwSetPointer(engine_.get(), KVE_MEMBER_ADDRESS(table_->objectId, 14),
                               KVE_MEMBER_ADDRESS(gain_->objectId, 0), 0),
              KVE_OK);
    const uint32_t id = gain_->objectId;
    const KVEObject *next = gain_->next;
    pump(table_);
    EXPECT_EQ(gain_->objectId, id);
    EXPECT_EQ(gain_->next, next);
}

} // namespace
