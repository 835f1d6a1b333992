// Shared fixture of the keyword-reader tests: a fresh solver with its
// managers and a reader over it, and a helper that writes fixed-width cards.
#pragma once
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>

#include "core/part.h"
#include "elements/elmmanager.h"
#include "input/keywordReader.h"
#include "solver/femdynamic.h"

// One card of right-aligned fields of the given width.
inline std::string card(std::initializer_list<std::string> fields, int width = 10) {
    std::string line;
    for (const std::string& field : fields) {
        line += std::string(field.size() < static_cast<size_t>(width) ? width - field.size() : 0, ' ') + field;
    }
    return line + "\n";
}

class KeywordDeckTest : public ::testing::Test {
protected:
    void SetUp() override {
        fem = std::make_unique<FEMDynamic>();
        fem->newManagers();
        reader = std::make_unique<KeywordReader>(fem.get(), state);
    }
    // Reads the blocks of a comment-free deck text; false when refused.
    bool read(const std::string& text) { return reader->readBlocks(cutDeckBlocks(text)); }

    std::unique_ptr<FEMDynamic> fem;
    KeywordDeckState state;
    std::unique_ptr<KeywordReader> reader;
};
