// Identifiers of the pictures built into the program; shared by the resource scripts and the code.
#pragma once

// The program's icon comes first so that the shell shows it for the file.
#define IDI_TARVENIX 1
#define IDI_MESSAGE 2
#define IDB_DESIGN_PREVIEW 101
