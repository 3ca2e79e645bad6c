// The floor for the benchmark: a program that does nothing, built like the launcher.
int main() {
    return 0;
}
