// The debugger application (placeholder).
int main() { return 0; }
