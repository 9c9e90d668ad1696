#include "Common/StartupRules.h"
#include "Common/wWndMain.h"

int main(int argc, char** argv) { return wWinMain(CommandLineTail(argc, argv)); }
