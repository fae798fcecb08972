// quillet's own members of BoardTask; included inside the class.
void _updateOutputs();

DebounceTimer _debounceTimer{this};
uint32_t _doutMask = 0;  // GPIO bits of the nine outputs
uint32_t _doutImage = 0; // pin image of the last output update
TaskHandle_t _thermoTask = nullptr;
