/* A small program for the trust tests to read, sign and tamper with. */
int main(void) { return 0; }
