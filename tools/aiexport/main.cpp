// Placeholder until the replay tool lands.
int main() { return 0; }
