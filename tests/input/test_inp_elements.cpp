// Element types of .inp decks driven through the whole run: a bar of unit
// cubes, each cut into elements of one type, clamped at x = 0 and moving
// at v0 against it in uniaxial strain. The mass is the density times the
// volume, and while the compression wave runs up the bar its momentum falls
// by the wall force rho c A v0, with c = sqrt((lambda + 2 mu) / rho).
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <set>
#include <fstream>
#include <map>
#include <sstream>

#include "core/part.h"
#include "core/section.h"
#include "elements/elmmanager.h"
#include "solver/femdynamic.h"
#include "tests/decks/deck_case.h"

using namespace deckcase;

namespace {

constexpr int kCubes = 40;
constexpr double kDensity = 7.85e-9, kYoungs = 210000.0, kPoisson = 0.3, kSpeed = -1000.0;

// Local corners of a cube (hexahedron order) and its cuts into each type,
// as 1-based local corners; 9 is the cube's centre.
const double kCorner[9][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1},
                              {1, 0, 1}, {1, 1, 1}, {0, 1, 1}, {0.5, 0.5, 0.5}};
struct Cut {
    const char* type;
    std::vector<std::vector<int>> elements;
    int formulation;   // the section's element code
    int elementType;   // the code the elements compute with
};
const std::vector<Cut> kCuts = {
    {"C3D8R", {{1, 2, 3, 4, 5, 6, 7, 8}}, 18, 18},
    {"SC8R", {{1, 2, 3, 4, 5, 6, 7, 8}}, 23, 18},
    {"C3D6", {{1, 2, 3, 5, 6, 7}, {1, 3, 4, 5, 7, 8}}, 20, 20},
    {"SC6R", {{1, 2, 3, 5, 6, 7}, {1, 3, 4, 5, 7, 8}}, 22, 20},
    {"C3D6R", {{1, 2, 3, 5, 6, 7}, {1, 3, 4, 5, 7, 8}}, 21, 21},
    {"C3P5",
     {{1, 2, 3, 4, 9}, {5, 8, 7, 6, 9}, {1, 5, 6, 2, 9}, {2, 6, 7, 3, 9}, {3, 7, 8, 4, 9}, {4, 8, 5, 1, 9}},
     16,
     16},
    {"C3D10M",
     {{1, 2, 3, 7}, {1, 3, 4, 7}, {1, 4, 8, 7}, {1, 8, 5, 7}, {1, 5, 6, 7}, {1, 6, 2, 7}},
     27,
     27},
};

// Ten-node tetrahedron: mid-side nodes on edges 1-2, 2-3, 3-1, 1-4, 2-4, 3-4.
const int kTetEdge[6][2] = {{0, 1}, {1, 2}, {2, 0}, {0, 3}, {1, 3}, {2, 3}};

struct Mesh {
    std::vector<std::array<double, 3>> nodes;
    std::map<std::array<long, 3>, int> byPosition;
    int node(double x, double y, double z) {
        const std::array<long, 3> key = {std::lround(2 * x), std::lround(2 * y), std::lround(2 * z)};
        const auto found = byPosition.find(key);
        if (found != byPosition.end()) return found->second;
        nodes.push_back({x, y, z});
        return byPosition[key] = static_cast<int>(nodes.size());
    }
};

double waveSpeed() {
    const double lambda = kYoungs * kPoisson / ((1 + kPoisson) * (1 - 2 * kPoisson));
    const double mu = kYoungs / (2 * (1 + kPoisson));
    return std::sqrt((lambda + 2 * mu) / kDensity);
}

// The bar deck as a pre-processor writes it: blank-padded fields, a part,
// a section over the part's element set, per-node boundaries.
std::string barDeck(const Cut& cut) {
    Mesh mesh;
    std::ostringstream elements;
    int id = 0;
    for (int c = 0; c < kCubes; ++c) {
        for (const std::vector<int>& local : cut.elements) {
            std::vector<int> ids;
            auto at = [&](const double* p) { return mesh.node(c + p[0], p[1], p[2]); };
            for (int k : local) ids.push_back(at(kCorner[k - 1]));
            if (std::string(cut.type) == "C3D10M") {
                for (const auto& edge : kTetEdge) {
                    double mid[3];
                    for (int d = 0; d < 3; ++d) mid[d] = 0.5 * (kCorner[local[edge[0]] - 1][d] + kCorner[local[edge[1]] - 1][d]);
                    ids.push_back(at(mid));
                }
            }
            elements << ++id;
            for (size_t k = 0; k < ids.size(); ++k) elements << (k == 7 ? ",\n  " : ", ") << ids[k];
            elements << "\n";
        }
    }
    std::ostringstream deck;
    deck.precision(17);
    deck << "*Heading\n*Part, name=BAR\n*Node\n";
    for (size_t n = 0; n < mesh.nodes.size(); ++n) {
        deck << "  " << n + 1 << ",  " << mesh.nodes[n][0] << ",  " << mesh.nodes[n][1] << ",  " << mesh.nodes[n][2]
             << "\n";
    }
    deck << "*Element, type=" << cut.type << "\n" << elements.str();
    deck << "*Elset, elset=BAR-ALL, generate\n 1, " << id << ", 1\n*Solid Section, elset=BAR-ALL, material=STEEL\n,\n"
         << "*End Part\n*Nset, nset=ALL, generate\n 1, " << mesh.nodes.size() << ", 1\n*Nset, nset=WALL\n";
    for (size_t n = 0; n < mesh.nodes.size(); ++n) {
        if (mesh.nodes[n][0] == 0.0) deck << " " << n + 1 << ",\n";
    }
    deck << "*Material, name=STEEL\n*Density\n" << kDensity << ",\n*Elastic\n" << kYoungs << ", " << kPoisson
         << "\n*Initial Conditions, type=VELOCITY\nALL, 1, " << kSpeed << "\n*Boundary\nWALL, 1, 1\nALL, 2, 3\n"
         << "*Step\n*Dynamic, Explicit\n, " << 0.8 * kCubes / waveSpeed() << "\n*End Step\n";
    return deck.str();
}

// Records, once the model is set up, each part's section code and the type
// codes its elements compute with.
struct TypeProbe : Probe {
    std::vector<int>* formulations = nullptr;
    std::set<int>* types = nullptr;
    std::vector<Sample>* out = nullptr;
    void init(FEMDynamic* fem) override {
        for (const Part& part : fem->part_array) {
            formulations->push_back(part.section->element_formulation);
            for (const SolidElementCuda& e : part.elmManager->solid_element_array_cpu) types->insert(e.type);
            for (const SolidElement2nd& e : part.elmManager->solid2ndArrayCpu_) types->insert(e.type);
        }
    }
    ~TypeProbe() override { *out = std::move(samples); }
};

double momentum(const Sample& sample) {
    double p = 0.0;
    for (const NodeCuda& node : sample.nodes) p += node.mass * node.vel[0];
    return p;
}

// The sample nearest to time t.
const Sample& at(const std::vector<Sample>& samples, double t) {
    size_t best = 0;
    for (size_t s = 0; s < samples.size(); ++s) {
        if (std::fabs(samples[s].time - t) < std::fabs(samples[best].time - t)) best = s;
    }
    return samples[best];
}

}  // namespace

TEST(InpElementTypes, BarsOfEveryTypeCarryTheWaveOfTheTheory) {
    const double mass = kDensity * kCubes;
    const double crossing = kCubes / waveSpeed();
    for (const Cut& cut : kCuts) {
        SCOPED_TRACE(cut.type);
        const fs::path scratch = scratchFolder(std::string("inp_type_") + cut.type);
        std::ofstream(scratch / "deck.inp") << barDeck(cut);
        std::vector<int> formulations;
        std::set<int> types;
        std::vector<Sample> samples;
        auto probe = std::make_unique<TypeProbe>();
        probe->formulations = &formulations;
        probe->types = &types;
        probe->out = &samples;
        runModelAt(scratch, std::move(probe));
        ASSERT_GT(samples.size(), 30u);
        EXPECT_EQ(formulations, std::vector<int>{cut.formulation});
        EXPECT_EQ(types, std::set<int>{cut.elementType});
        double total = 0.0;
        for (const NodeCuda& node : samples.front().nodes) total += node.mass;
        EXPECT_NEAR(total, mass, 1e-12 * mass);
        // Between a quarter and three quarters of the crossing the wall takes
        // rho c A v0 per unit time: half the bar's momentum.
        const double drop = momentum(at(samples, 0.25 * crossing)) - momentum(at(samples, 0.75 * crossing));
        EXPECT_NEAR(drop, 0.5 * mass * kSpeed, 0.025 * std::fabs(0.5 * mass * kSpeed));
        // y and z are held: every node stays in its line.
        for (const NodeCuda& node : samples.back().nodes) {
            EXPECT_EQ(node.total_disp[1], 0.0);
            EXPECT_EQ(node.total_disp[2], 0.0);
        }
    }
}
