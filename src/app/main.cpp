// Tetrav: four videos side by side, in step.
int main() { return 0; }
