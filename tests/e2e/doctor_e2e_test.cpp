// halvern-cli doctor on a fake system tree, as a technician runs it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "doctor/fake_system.h"
#include "e2e/e2e_support.h"

namespace {

using halvern::e2e::runCli;
using halvern::test::FakeSystem;

TEST(CliDoctor, PortHeldByAnotherProgramFails) {
  FakeSystem fake;
  fake.addUsbSerial({});
  fake.write("/etc/udev/rules.d/70-halvern-zelka40100.rules", "# rule\n");
  fake.write("/etc/group", "dialout:x:" + std::to_string(getgid()) + ":alice\n");
  fake.addProcess(4242, "minicom", {"minicom", "-D", "/dev/ttyUSB0"}, {"/dev/ttyUSB0"});
  const std::string identity = "HALVERN_DOCTOR_UID=" + std::to_string(getuid() + 1000) +
                               " HALVERN_DOCTOR_GID=" + std::to_string(getuid() + 1000) +
                               " HALVERN_DOCTOR_GROUPS=" + std::to_string(getgid()) +
                               " HALVERN_DOCTOR_USER=alice";
  auto run = runCli("doctor --root " + fake.root().string(), identity);
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_NE(run.out.find("[ ok ] Permission to open /dev/ttyUSB0: allowed"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("[FAIL] Other programs using /dev/ttyUSB0: held open by 1 process\n"
                         "       pid 4242 minicom: minicom -D /dev/ttyUSB0\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("\n1 problem found"), std::string::npos) << run.out;

  // The program closed: no problem left, and --port names the device checked.
  std::filesystem::remove_all(fake.at("/proc/4242"));
  run = runCli("--port /dev/ttyUSB0 doctor --root " + fake.root().string(), identity);
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("[ ok ] Port /dev/ttyUSB0: the bridge"), std::string::npos) << run.out;

  run = runCli("doctor --root " + fake.root().string(), "HALVERN_DOCTOR_UID=alice");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("HALVERN_DOCTOR_UID is not a number"), std::string::npos) << run.err;
}

TEST(CliDoctor, SimulatedInstrumentNeedsNoPort) {
  const auto run = runCli("--simulate doctor");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("needs no port"), std::string::npos) << run.out;
}

}  // namespace
