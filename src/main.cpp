// Placeholder entry point; the application object replaces it.
int main() { return 0; }
