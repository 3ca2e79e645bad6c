// Process entry: the ordinary start-up code calls main, whose result is the exit code.
#include "launcher/launcher.h"

int main(int argc, char* argv[], char* envp[]) {
    return LaunchPreinstaller(argc, argv, envp);
}
