// The velmo-cli commands; each takes its own argv (argv[0] = the command's
// name) and returns the exit status. Usage errors are thrown as UsageError.
#pragma once

int JobCommand(int argc, char** argv);
int OutnameCommand(int argc, char** argv);
int DvdScanCommand(int argc, char** argv);
int DrivesCommand(int argc, char** argv);
int ProbeCommand(int argc, char** argv);
int RenderFrameCommand(int argc, char** argv);
int ConvertCommand(int argc, char** argv);
