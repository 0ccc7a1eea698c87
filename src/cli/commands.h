// korvan-cli commands. Each takes the arguments after the command name and returns the exit
// status: 0 success, 1 failure (one English line on stderr), 2 bad usage.
#pragma once

#include <string>
#include <vector>

namespace cli {

using Args = std::vector<std::string>;

int RunInfo(const Args& args);
int RunList(const Args& args);
int RunConvert(const Args& args);
int RunVerify(const Args& args);
int RunBlocks(const Args& args);
int RunBatteryLog(const Args& args);
int RunTelemetry(const Args& args);
int RunFrame(const Args& args);
int RunSettings(const Args& args);
int RunClear(const Args& args);
int RunErase(const Args& args);
int RunRecover(const Args& args);
int RunMark(const Args& args);
int RunFormat(const Args& args);

// Prints "korvan-cli: <message>" on stderr and returns `status`.
int Fail(int status, const std::string& message);

}  // namespace cli
