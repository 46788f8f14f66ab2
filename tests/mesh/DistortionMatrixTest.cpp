#include "mesh/DistortionMatrix.h"
#include "mesh/ProjectionType.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace lumenarc {
namespace {

using test::TempDir;

const std::string kTwoByTwo = "1 2 2  -1 -1 0 0 1  1 -1 1 0 1  -1 1 0 1 1  1 1 1 1 1";

std::unique_ptr<DistortionMatrix> load(const std::string& text) {
    return DistortionMatrix::initFromText(text);
}

std::string nodesText(int count, double value = 0.5) {
    std::string text;
    for (int k = 0; k < count * 5; ++k) {
        text += std::to_string(value) + " ";
    }
    return text;
}

TEST(DistortionMatrix, NodesAreStoredRowByRowInFileOrder) {
    const auto mesh = load(kTwoByTwo);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->projectionType(), 1);
    EXPECT_EQ(mesh->width(), 2);
    EXPECT_EQ(mesh->height(), 2);
    EXPECT_EQ(mesh->xCoordAtX(1, 0), 1.0);
    EXPECT_EQ(mesh->yCoordAtX(1, 0), -1.0);
    EXPECT_EQ(mesh->uCoordAtX(1, 0), 1.0);
    EXPECT_EQ(mesh->vCoordAtX(0, 1), 1.0);
    EXPECT_EQ(mesh->xCoordAtX(0, 1), -1.0);
    EXPECT_EQ(mesh->yCoordAtX(0, 1), 1.0);

    // Type 2, 3 x 2: node (2, 1) is the sixth node, numbers 28..32 of the file.
    std::string text = "2 3 2";
    for (int k = 3; k < 33; ++k) {
        text += " " + std::to_string(k);
    }
    const auto fisheye = load(text);
    ASSERT_NE(fisheye, nullptr);
    EXPECT_EQ(fisheye->xCoordAtX(2, 1), 28.0);
    EXPECT_EQ(fisheye->yCoordAtX(2, 1), 29.0);
    EXPECT_EQ(fisheye->luminanceAtX(2, 1), 1.0); // 32 limited to 1
    EXPECT_EQ(fisheye->vertices()[5].v, 31.0);
}

TEST(DistortionMatrix, AnEditedGridIsANewMeshOfItsOwn) {
    const auto mesh = load(kTwoByTwo);
    ASSERT_NE(mesh, nullptr);
    std::vector<MeshVertex> nodes(mesh->vertices().begin(), mesh->vertices().end());
    nodes[3].x = 0.25;
    const auto edited = DistortionMatrix::fromNodes(2, 2, nodes, mesh->projectionType());
    ASSERT_NE(edited, nullptr);
    EXPECT_EQ(edited->xCoordAtX(1, 1), 0.25);
    EXPECT_EQ(edited->yCoordAtX(1, 1), mesh->yCoordAtX(1, 1));
    EXPECT_EQ(edited->projectionType(), 1);
    EXPECT_NE(edited->serial(), mesh->serial());
    EXPECT_EQ(DistortionMatrix::fromNodes(3, 2, nodes, 1), nullptr);
    EXPECT_EQ(DistortionMatrix::fromNodes(0, 0, {}, 1), nullptr);
}

TEST(DistortionMatrix, AcceptsExactlyTheTenProjectionCodes) {
    for (const auto& type : ProjectionType::all()) {
        const auto mesh = load(std::to_string(type.code) + " 2 1 " + nodesText(2));
        ASSERT_NE(mesh, nullptr) << type.code;
        EXPECT_EQ(mesh->projectionType(), type.code);
    }
    for (const char* code : {"0", "6", "7", "10", "16", "-1", "-11", "99999999999"}) {
        EXPECT_EQ(load(std::string(code) + " 2 1 " + nodesText(2)), nullptr) << code;
    }
    const auto truncatedType = load("1.9 2 1 " + nodesText(2));
    ASSERT_NE(truncatedType, nullptr);
    EXPECT_EQ(truncatedType->projectionType(), 1);
}

TEST(DistortionMatrix, StereoMeshesNeedAnEvenWidth) {
    EXPECT_EQ(load("12 3 1 " + nodesText(3)), nullptr);
    EXPECT_NE(load("12 4 1 " + nodesText(4)), nullptr);
    EXPECT_NE(load("2 3 1 " + nodesText(3)), nullptr);
    for (int code = 11; code <= 15; ++code) {
        EXPECT_EQ(load(std::to_string(code) + " 5 1 " + nodesText(5)), nullptr) << code;
        EXPECT_TRUE(ProjectionType::isStereo(code));
    }
}

TEST(DistortionMatrix, AnyArrangementOfSeparatorsReadsAlike) {
    const auto reference = load(kTwoByTwo);
    for (const char* separator : {" ", ",", ";", "\n", "\r\n", "\t ", " ,; \r"}) {
        std::string text;
        for (char c : kTwoByTwo) {
            text += c == ' ' ? std::string(separator) : std::string(1, c);
        }
        const auto mesh = load(text);
        ASSERT_NE(mesh, nullptr) << separator;
        ASSERT_EQ(mesh->vertices().size(), 4u);
        for (size_t k = 0; k < 4; ++k) {
            EXPECT_EQ(mesh->vertices()[k].x, reference->vertices()[k].x);
            EXPECT_EQ(mesh->vertices()[k].v, reference->vertices()[k].v);
        }
    }
}

TEST(DistortionMatrix, WordsAndHeadingsAreReadAsTheNumberReaderSees) {
    // Labels hide nothing but themselves; a heading with separated numbers shifts what follows.
    const auto labelled = load("type 1\nwidth 1 height 1\nnode: 0.1 0.2 0.3 0.4 0.5 trailing 9 9");
    ASSERT_NE(labelled, nullptr);
    EXPECT_EQ(labelled->vertices()[0].i, 0.5);
    const auto shifted = load("Mesh 2 of 1\n1 1 1 0.1 0.2 0.3 0.4 0.5");
    ASSERT_NE(shifted, nullptr);
    EXPECT_EQ(shifted->projectionType(), 2);
    EXPECT_EQ(shifted->width(), 1);
    EXPECT_EQ(shifted->height(), 1);
    EXPECT_EQ(shifted->vertices()[0].x, 1.0);
    EXPECT_EQ(shifted->vertices()[0].u, 0.1);
    EXPECT_EQ(shifted->vertices()[0].i, 0.3);
    // "end" before a number adds a 0 to the sequence.
    const auto withWord = load("1 1 1 0.1 0.2 0.3 0.4 end");
    ASSERT_NE(withWord, nullptr);
    EXPECT_EQ(withWord->vertices()[0].i, 0.0);
}

TEST(DistortionMatrix, RunningOutOfNumbersIsRejected) {
    EXPECT_EQ(load(""), nullptr);
    EXPECT_EQ(load("1"), nullptr);
    EXPECT_EQ(load("1 2"), nullptr);
    EXPECT_EQ(load("1 2 2"), nullptr);
    const std::string full = kTwoByTwo;
    EXPECT_NE(load(full), nullptr);
    EXPECT_EQ(load(full.substr(0, full.rfind(' '))), nullptr); // last node's i missing
    EXPECT_NE(load(full + " 7 8 9"), nullptr);                 // extra numbers ignored
    EXPECT_EQ(load("words only, no numbers"), nullptr);
}

TEST(DistortionMatrix, EmptyGridsLoadWithoutNodes) {
    for (const char* text : {"1 0 5", "1 5 0", "1 -3 -2", "1 0 0 junk"}) {
        const auto mesh = load(text);
        ASSERT_NE(mesh, nullptr) << text;
        EXPECT_TRUE(mesh->vertices().empty());
    }
    EXPECT_EQ(load("1 -3 -2")->width(), -3);
}

TEST(DistortionMatrix, HugeClaimsAreRefusedBeforeAnyStorage) {
    EXPECT_EQ(load("1 60000 60000 0 0 0 0 1"), nullptr);
    EXPECT_EQ(load("1 2147483647 2147483647 1"), nullptr);
    EXPECT_EQ(load("11 2147483646 2147483647 1"), nullptr);
    // Exactly enough text: 2 nodes need 10 numbers, at least 19 bytes.
    EXPECT_NE(load("1 2 1 0 0 0 0 0 0 0 0 0 0"), nullptr);
    EXPECT_EQ(load("1 2 1 0 0 0 0 0 0 0 0 0"), nullptr);
}

TEST(DistortionMatrix, FilesThatCannotBeReadAreRejected) {
    TempDir dir;
    EXPECT_EQ(DistortionMatrix::initFromFile((dir.path() / "missing.data").string()), nullptr);
    EXPECT_EQ(DistortionMatrix::initFromFile(dir.path().string()), nullptr);
    EXPECT_EQ(DistortionMatrix::initFromFile(""), nullptr);
    const auto mesh = DistortionMatrix::initFromFile(dir.write("ok.data", kTwoByTwo));
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->width(), 2);
}

// Each refusal names its cause, so that a technician can tell a moved file from a cut one.
TEST(DistortionMatrix, ARefusalSaysWhy) {
    TempDir dir;
    const auto why = [](const std::string& path) {
        std::string reason;
        EXPECT_EQ(DistortionMatrix::initFromFile(path, reason), nullptr);
        return reason;
    };
    EXPECT_EQ(why((dir.path() / "missing.data").string()), "missing: no such file");
    EXPECT_EQ(why(dir.path().string()), "not a regular file: a folder");
    EXPECT_EQ(why(dir.write("short.data", "2 3 2 0 0 0 0 1 1 0 1 0 1 0 1")),
              "too short: 2 nodes found of 6 expected");
    EXPECT_EQ(why(dir.write("cut.data", "2 300 300 0 0 0 0 1 1 0 1 0 1")),
              "too short: 2 nodes found of 90000 expected");
    EXPECT_EQ(why(dir.write("type.data", "7 2 1 0 0 0 0 1")), "bad header: no projection type 7");
    EXPECT_EQ(why(dir.write("size.data", "2 x")),
              "bad header: no grid size after the projection type");
}

TEST(DistortionMatrix, BinaryJunkNeverCrashes) {
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(static_cast<size_t>(random() % 300), '\0');
        for (auto& b : bytes) {
            b = static_cast<char>(random());
        }
        if (round % 3 == 0) {
            bytes = "1 3 3 " + bytes; // a valid header over junk
        }
        const auto mesh = load(bytes);
        if (mesh) {
            EXPECT_EQ(mesh->vertices().size(),
                      mesh->width() > 0 && mesh->height() > 0
                          ? static_cast<size_t>(mesh->width()) * mesh->height()
                          : 0u);
        }
    }
}

TEST(DistortionMatrix, SamplersLimitAndTurnAsSpecified) {
    const auto mesh = load("1 3 1  0 0 1.2 0.5 1.5  0 0 0.25 0.75 -0.2  0 0 0.5 0.5 0.5");
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->luminanceAtX(0, 0), 1.0);
    EXPECT_EQ(mesh->luminanceAtX(1, 0), 0.0);
    EXPECT_EQ(mesh->luminanceAtX(2, 0), 0.5);
    EXPECT_EQ(mesh->uCoordAtX(0, 0), 1.0);
    EXPECT_EQ(mesh->vCoordAtX(0, 0), 0.5);

    mesh->rotate(static_cast<float>(std::numbers::pi / 2));
    EXPECT_NEAR(mesh->uCoordAtX(0, 0), 0.5, 1e-6);  // limited u turned
    EXPECT_NEAR(mesh->vCoordAtX(0, 0), -0.2, 1e-6); // unlimited u turned
    mesh->resetInteraction();

    mesh->rotate(static_cast<float>(std::numbers::pi));
    EXPECT_NEAR(mesh->uCoordAtX(1, 0), 0.75, 1e-6);
    EXPECT_NEAR(mesh->vCoordAtX(1, 0), 0.25, 1e-6);
    mesh->resetInteraction();

    // Positive rotation turns clockwise with u right and v up: the right edge moves down.
    const auto right = load("1 1 1 0 0 1 0.5 1");
    right->rotate(0.1f);
    EXPECT_LT(right->vCoordAtX(0, 0), 0.5);
}

TEST(DistortionMatrix, InteractionAccumulatesSinglePrecisionSteps) {
    const auto mesh = load(kTwoByTwo);
    mesh->offsetX(0.01f, 0.0f);
    mesh->offsetX(0.01f, 0.0f);
    const double expected = static_cast<double>(0.01f) + static_cast<double>(0.01f);
    EXPECT_EQ(mesh->interaction().offsetX, expected);
    EXPECT_NE(mesh->interaction().offsetX, 0.02);
    EXPECT_EQ(mesh->uCoordAtX(0, 0), expected);
    EXPECT_EQ(mesh->vCoordAtX(0, 0), 0.0);
    mesh->rotate(0.5f);
    mesh->rotate(0.5f);
    EXPECT_EQ(mesh->interaction().rotation, 1.0);

    mesh->setProjectionType(7);
    EXPECT_EQ(mesh->projectionType(), 7);
    EXPECT_EQ(mesh->interaction().rotation, 1.0); // the override keeps the interaction

    mesh->resetInteraction();
    EXPECT_EQ(mesh->uCoordAtX(1, 1), 1.0);
    EXPECT_EQ(mesh->vCoordAtX(1, 0), 0.0);
    EXPECT_EQ(mesh->projectionType(), 7);
}

TEST(DistortionMatrix, BatchSamplersEqualThePerNodeOnes) {
    const auto mesh = load("4 2 2  0 0 -0.3 0.2 1  0 0 0.7 1.4 1  0 0 0.1 0.9 1  0 0 1 0 1");
    mesh->rotate(0.73f);
    mesh->offsetX(0.125f, -0.3f);
    const auto state = mesh->interaction();
    const double c = std::cos(state.rotation), s = std::sin(state.rotation);
    for (int32_t y = 0; y < 2; ++y) {
        for (int32_t x = 0; x < 2; ++x) {
            const auto& node = mesh->vertices()[static_cast<size_t>(y * 2 + x)];
            EXPECT_EQ(DistortionMatrix::sampleU(node, c, s, state.offsetX), mesh->uCoordAtX(x, y));
            EXPECT_EQ(DistortionMatrix::sampleV(node, c, s, state.offsetY), mesh->vCoordAtX(x, y));
        }
    }
}

TEST(DistortionMatrix, InteractionIsSafeToChangeWhileAnotherThreadSamples) {
    const auto mesh = load(kTwoByTwo);
    std::atomic<bool> done{false};
    std::thread reader([&] {
        double sum = 0;
        while (!done.load()) {
            sum += mesh->uCoordAtX(1, 1) + mesh->vCoordAtX(0, 0) + mesh->projectionType();
        }
        EXPECT_TRUE(std::isfinite(sum));
    });
    for (int k = 0; k < 20000; ++k) {
        mesh->offsetX(0.001f, -0.001f);
        mesh->rotate(0.001f);
        mesh->setProjectionType(k % 2 == 0 ? 3 : 13);
    }
    done = true;
    reader.join();
    EXPECT_NEAR(mesh->interaction().rotation, 20.0, 1e-3);
}

} // namespace
} // namespace lumenarc
