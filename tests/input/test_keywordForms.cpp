// Forms of the keyword format this reader does not take: each refused form
// stops the program with its message and exit status 1; each skipped form is
// named once and the deck still reads.
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "keywordTestDeck.h"

namespace {

namespace fs = std::filesystem;

std::string cubeModel() { return cubeModelCards() + "*CONTROL_TERMINATION\n" + card({"1.0e-4"}); }

struct ProgramRun {
    int status = -1;
    std::string console;
};

// Runs the impactfem program on the deck text.
ProgramRun runDeck(const std::string& name, const std::string& text) {
    const fs::path folder = freshDeckFolder("form_" + name);
    std::ofstream(folder / "deck.k") << text;
    const std::string command = std::string(FEM_PROGRAM) + " INP=" + (folder / "deck.k").string() +
                                " WD=" + (folder / "work").string() + " > " + (folder / "console.txt").string() +
                                " 2>&1";
    ProgramRun run;
    const int status = std::system(command.c_str());
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(folder / "console.txt");
    std::ostringstream all;
    all << in.rdbuf();
    run.console = all.str();
    return run;
}

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

}  // namespace

TEST(KeywordForms, RefusedFormsStopTheRunWithTheirMessage) {
    const std::string model = cubeModel();
    const std::string elasticWithParameter = "*MAT_ELASTIC\n" + card({"2", "1.0", "&young", "0.3"});
    const struct {
        const char* name;
        std::string deck;
        const char* message;
    } cases[] = {
        {"parameter", "*PARAMETER\nR   young    1.0e6\n" + model, "\"*PARAMETER\" defines \"R   young    1.0e6\""},
        {"parameter_field", model + elasticWithParameter, "the field \"&young\" names a parameter"},
        {"include", model + "*INCLUDE\nwheel.k\n", "\"*INCLUDE\" includes \"wheel.k\""},
        {"include_transform", model + "*INCLUDE_TRANSFORM\nwheel.k\n" + card({"0"}) + " 0\n" + card({"0"}) + " 1\n",
         "\"*INCLUDE_TRANSFORM\" includes \"wheel.k\""},
        {"only_includes", "*keyword\n*include\nbody.k\n*include\nwheel.k\n", "includes \"body.k\""},
        {"section_tshell", model + "*SECTION_TSHELL\n" + card({"2", "1"}), "\"*SECTION_TSHELL\" is not read"},
        {"element_tshell", model + "*ELEMENT_TSHELL\n" + card({"2", "1", "1", "2", "3", "4", "5", "6", "7", "8"}, 8),
         "\"*ELEMENT_TSHELL\" (thick shells) is not read"},
        {"set_generate", model + "*SET_NODE_LIST_GENERATE\n" + card({"5"}) + card({"1", "8"}),
         "\"*SET_NODE_LIST_GENERATE\" is not read"},
        {"velocity_generation", model + "*INITIAL_VELOCITY_GENERATION\n" + card({"1", "2", "10.0"}),
         "\"*INITIAL_VELOCITY_GENERATION\" is not read"},
        {"solid_nodes_on_next_line",
         "*ELEMENT_SOLID\n" + card({"1", "1"}, 8) + card({"1", "2", "3", "4", "5", "6", "7", "8", "0", "0"}, 8) +
             model,
         "the form with the nodes on further lines is not read"},
        {"solid_option", model + "*ELEMENT_SOLID_ORTHO\n" + card({"2", "1", "1", "2", "3", "4", "5", "6", "7", "8"}, 8),
         "\"*ELEMENT_SOLID_ORTHO\" is not read by this version (option ORTHO)"},
        {"element_id_beyond_32_bits",
         model + "*ELEMENT_SOLID\n4294967297 1 1 2 3 4 5 6 7 8\n",
         "the number \"4294967297\" is too large for its field"},
        {"duplicate_material", model + "*MAT_ELASTIC\n" + card({"1", "2.0", "1.0e5"}),
         "two *MAT cards give the material id 1"},
        {"no_elements", "*NODE\n1 0 0 0\n*END\n", "the deck defines no elements"},
        {"no_nodes", "*CONTROL_TERMINATION\n" + card({"1.0"}), "the deck defines no nodes"},
        {"long_format", "*KEYWORD long=y\n" + model, "long-format fields are not read"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ProgramRun run = runDeck(c.name, c.deck);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.console.find(c.message), std::string::npos) << run.console;
        EXPECT_EQ(run.console.find("Calculation completed"), std::string::npos);
    }
}

TEST(KeywordForms, SkippedFormsAreNamedOnceAndTheDeckReads) {
    const std::string deck = cubeModel() + "*HOURGLASS\n" + card({"1", "4"}) + "*HOURGLASS\n" + card({"2", "5"}) +
                             "*CONTROL_BULK_VISCOSITY\n" + card({"1.5"}) + "*MAT_JOHNSON_COOK\n" + card({"9"}) +
                             "*SET_NODE\n" + card({"3"}) + card({"1"}) + "*MAT_ELASTIC\n" + card({"5", "abc", "1.0e6"});
    FEMDynamic fem;
    fem.newManagers();
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(readDeckFile(&fem, "skipped_forms", deck), 1);
    const std::string messages = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(count(messages, "\"*HOURGLASS\" is not read by this version; the block is ignored"), 1u) << messages;
    for (const char* keyword : {"*CONTROL_BULK_VISCOSITY", "*MAT_JOHNSON_COOK", "*SET_NODE"}) {
        EXPECT_NE(messages.find(std::string("\"").append(keyword) + "\" is not read by this version"), std::string::npos)
            << keyword;
    }
    EXPECT_NE(messages.find("the field \"abc\" is not a number; it reads as 0"), std::string::npos);
}
