// trivox_free: the conversion engine.
int main() { return 0; }
