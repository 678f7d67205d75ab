#include "app/ui/BriselVRClientApp.h"

int main(int argc, char** argv) { return brisel::RunBriselVRClient(argc, argv); }
