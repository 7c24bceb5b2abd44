#pragma once

#include <gtest/gtest.h>

#include "doctor/fake_tree.h"
#include "support/test_folder.h"

namespace halvern::test {

// A fake system in a test folder of its own, removed with it.
class FakeSystem : private TestFolder, public FakeTree {
 public:
  FakeSystem() : TestFolder("fake_system"), FakeTree(TestFolder::path()) {}
  using FakeTree::root;
};

}  // namespace halvern::test
