// End-to-end deck cases: each folder under tests/decks/ holds a deck, what
// must come out of it and why (README.md of the case).
#include <gtest/gtest.h>

#include <cmath>

#include "tests/decks/deck_case.h"
#include "tests/output/vtk_check.h"

using namespace deckcase;

namespace {

std::vector<std::string> asStrings(const std::vector<fs::path>& files)
{
    std::vector<std::string> names;
    for (const fs::path& file : files) {
        names.push_back(file.string());
    }
    return names;
}

// The text of a VTK file without its "zone <time>" line.
std::string withoutZone(const std::string& text, std::string* zone)
{
    const std::size_t start = text.find("\nzone ") + 1;
    const std::size_t end = text.find('\n', start);
    if (zone != nullptr) {
        *zone = text.substr(start + 5, end - start - 5);
    }
    return text.substr(0, start) + text.substr(end + 1);
}

// x coordinate of a node at the start of the run.
double startX(const Sample& first, int index)
{
    return first.nodes[index].coord[0] - first.nodes[index].total_disp[0];
}

}  // namespace

TEST(DeckCase, OneHexahedronWritesTheExactVtkFiles)
{
    ASSERT_EQ(runProgram("one_hexahedron"), 0) << readText(fs::path(FEM_BINARY_DIR) / "deck_cases" /
                                                             "one_hexahedron" / "console.txt");
    const fs::path work = fs::path(FEM_BINARY_DIR) / "deck_cases" / "one_hexahedron" / "work";
    const std::vector<fs::path> files = vtkFiles(work);
    // End time 0.01, no output interval: one file per 1e-4 of simulated time
    // that the steps reach, the first at time 0.
    ASSERT_GE(files.size(), 10u);
    EXPECT_EQ(files[0].filename(), "result.vtk");
    EXPECT_EQ(files[1].filename(), "result_1.vtk");

    const std::string expected = readText(caseFolder("one_hexahedron") / "expected" / "result.vtk");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(readText(files[0]), expected);
    // A cube at rest: every later file differs only in its time.
    double previous = 0.0;
    for (std::size_t k = 1; k < files.size(); ++k) {
        std::string zone;
        EXPECT_EQ(withoutZone(readText(files[k]), &zone), withoutZone(expected, nullptr)) << files[k];
        const double time = std::stod(zone);
        EXPECT_GT(time, previous) << files[k];
        EXPECT_LT(time, 0.01 + 1e-12) << files[k];
        previous = time;
    }
    expectVtkFilesOpenInReader(asStrings(files));
}

TEST(DeckCase, FreeFlightTranslatesRigidly)
{
    const std::vector<Sample> samples = runInProcess("free_flight");
    ASSERT_GT(samples.size(), 10u);
    const double v[3] = {3.0, -2.0, 0.5};
    double largestStress = 0.0;
    for (const Sample& sample : samples) {
        for (const NodeCuda& node : sample.nodes) {
            for (int k = 0; k < 3; ++k) {
                EXPECT_NEAR(node.total_disp[k], v[k] * sample.time, 1e-12 + 1e-9 * std::fabs(v[k] * sample.time))
                    << "node " << node.id << " at t = " << sample.time;
                EXPECT_NEAR(node.vel[k], v[k], 1e-9);
            }
            for (double s : node.stress) {
                largestStress = std::max(largestStress, std::fabs(s));
            }
        }
    }
    // E = 2e5: a strain of 1e-12 would show as 2e-7.
    EXPECT_LT(largestStress, 1e-6);
    EXPECT_NEAR(samples.back().time, 0.02, 0.001);
    expectVtkFilesOpenInReader(asStrings(vtkFiles(fs::path(FEM_BINARY_DIR) / "deck_cases" / "free_flight" / "work")));
}

namespace {

// The bar's halves move apart at speed v: a tension wave of stress rho c v
// runs from the middle to both ends and arrives at t = L / (2c), when the
// end nodes stop moving outward. L = 1, c = sqrt(E / rho) = 100, v = 1.
void checkWave(const std::string& name)
{
    const double length = 1.0;
    const double c = 100.0;
    const double v = 1.0;
    const std::vector<Sample> samples = runInProcess(name);
    ASSERT_GT(samples.size(), 20u);
    const Sample& first = samples.front();

    // Outward velocity of the end nodes (x = 0 moves towards -x, x = L towards +x).
    auto outwardSpeed = [&](const Sample& sample) {
        double sum = 0.0;
        int count = 0;
        for (std::size_t i = 0; i < sample.nodes.size(); ++i) {
            const double x = startX(first, static_cast<int>(i));
            if (x < 1e-9) {
                sum -= sample.nodes[i].vel[0];
                ++count;
            } else if (x > length - 1e-9) {
                sum += sample.nodes[i].vel[0];
                ++count;
            }
        }
        return sum / count;
    };
    double stopTime = -1.0;
    for (std::size_t s = 1; s < samples.size(); ++s) {
        const double before = outwardSpeed(samples[s - 1]);
        const double after = outwardSpeed(samples[s]);
        if (before > 0.0 && after <= 0.0) {
            stopTime = samples[s - 1].time + (samples[s].time - samples[s - 1].time) * before / (before - after);
            break;
        }
    }
    const double expectedStop = length / (2.0 * c);
    ASSERT_GT(stopTime, 0.0) << "the end nodes never stopped moving outward";
    EXPECT_NEAR(stopTime, expectedStop, 0.02 * expectedStop);

    // The stress the wave carries: each node in the middle half of the bar,
    // once the front has passed it by two elements, holds rho c v until the
    // front reaches the ends. Its mean over that window is compared, since
    // undamped central differences ring around a step front (Gibbs).
    const double expectedStress = 1.0 * c * v;
    const double h = length / 40.0;
    double rawPeak = 0.0;
    int checkedNodes = 0;
    for (std::size_t i = 0; i < first.nodes.size(); ++i) {
        const double distance = std::fabs(startX(first, static_cast<int>(i)) - 0.5 * length);
        double sum = 0.0;
        int count = 0;
        for (const Sample& sample : samples) {
            if (sample.time > expectedStop) {
                break;
            }
            rawPeak = std::max(rawPeak, sample.nodes[i].stress[0]);
            if (distance <= 0.25 * length && sample.time >= (distance + 2.0 * h) / c) {
                sum += sample.nodes[i].stress[0];
                ++count;
            }
        }
        if (distance <= 0.25 * length) {
            ASSERT_GT(count, 5) << "node " << i + 1;
            EXPECT_NEAR(sum / count, expectedStress, 0.05 * expectedStress) << "node " << i + 1;
            ++checkedNodes;
        }
    }
    EXPECT_GT(checkedNodes, 0);
    // The ringing at the front stays bounded: no node exceeds rho c v by a quarter.
    EXPECT_GT(rawPeak, expectedStress);
    EXPECT_LT(rawPeak, 1.25 * expectedStress);
    expectVtkFilesOpenInReader(asStrings(vtkFiles(fs::path(FEM_BINARY_DIR) / "deck_cases" / name / "work")));
}

}  // namespace

TEST(DeckCase, WaveInABarOfHexahedra)
{
    checkWave("wave_hexa");
}

TEST(DeckCase, WaveInABarOfTetrahedra)
{
    checkWave("wave_tetra");
}

TEST(DeckCase, UnknownMaterialRefusesTheDeck)
{
    EXPECT_NE(runProgram("unknown_material"), 0);
    const fs::path scratch = fs::path(FEM_BINARY_DIR) / "deck_cases" / "unknown_material";
    const std::string console = readText(scratch / "console.txt");
    EXPECT_NE(console.find("material 9 (named by part 1 (cube)) is not defined in the deck"), std::string::npos)
        << console;
    EXPECT_EQ(console.find("Calculation completed"), std::string::npos);
    EXPECT_TRUE(vtkFiles(scratch / "work").empty());
}
