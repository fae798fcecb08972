// quillet's own members of BoardTask; included inside the class.
DebounceTimer _debounceTimer{this};
TaskHandle_t _thermoTask = nullptr;
