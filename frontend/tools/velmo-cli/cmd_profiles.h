// velmo-cli commands over the output-profile database.
#pragma once

// "profiles": the profile tree, node by node with each node's profiles.
int CmdProfiles(int argc, char** argv);
// "defaults": the default node, profile and summary line.
int CmdDefaults(int argc, char** argv);
