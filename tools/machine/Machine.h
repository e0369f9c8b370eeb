#pragma once

#include "serial/NcCode.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tornyx::machine {

enum class Mode { Receive, Punch, Dnc, Controller };
enum class FaultKind { None, Can, Dc4, Noise, HangUp };

struct Fault {
    FaultKind kind = FaultKind::None;
    long atByte = 0;   // after this many data bytes received (or punched)
    std::string noise; // bytes for Noise
};

struct Config {
    Mode mode = Mode::Receive;
    CodeMode code = CodeMode::Iso; // Undecided: settle on the first data byte
    int baud = 9600;
    int dataBits = 8;
    int parityBits = 0;
    int stopBits = 2;
    bool pace = true;
    unsigned char pauseChar = nc::Dc3; // what the machine sends as XOFF
    int startDelayMs = 300;
    int dc1RepeatMs = 1000;   // receive: DC1 again until data comes (0: once)
    bool endOnPercent = true; // receive: the second "%" ends the program
    int idleMs = 3000;        // receive: this long without bytes after data ends it
    int timeoutMs = 0;        // 0: none
    std::string outFile;      // decoded program
    std::string rawFile;      // bytes as received
    std::string timesFile;    // arrival time of every byte, us since the first
    std::string inputFile;    // punch: program text
    std::string outDir = "."; // controller: received-<n>.nc
    int leader = 0;           // punch: NUL bytes before and after
    bool frame = false;       // punch: "%" LF ... "%" around the text
    bool punchWaitsDc1 = false;
    int punchAfterMs = 5000; // controller: punch when the PC sends nothing this long
    long xoffAt = 0;         // receive: send XOFF after this many bytes (0: never)
    int xoffMs = 200;        // ... and DC1 this long after
    int dncBuffer = 0;       // DNC: buffer size in bytes
    double dncBlocksPerSec = 10;
    std::vector<Fault> faults;
    bool repeat = false; // serve another opening after the PC closed
    // Read what has come every batchUs instead of byte by byte (0: byte by
    // byte, exact for XOFF timing; chosen when XOFF or faults are scripted).
    int batchUs = 4000;
};

// Runs the configured controller on an open pseudo-terminal master.
// Returns the process exit code.
int run(int master, const std::string& slavePath, const Config& config);

} // namespace tornyx::machine
