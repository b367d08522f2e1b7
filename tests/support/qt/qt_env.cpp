// Makes the application object before the first test runs.
#include <gtest/gtest.h>

#include "qt_app.h"

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override { mg::test::qtApp(); }
    void TearDown() override { mg::test::endQtApp(); }
};

[[maybe_unused]] const ::testing::Environment* const kQtEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
