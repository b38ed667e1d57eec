// Nothing to run: linking the layer's library whole into a program is the check.
int main() {
    return 0;
}
