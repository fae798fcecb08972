// brennic's own members of BoardTask; included inside the class.
TaskHandle_t _thermoTask = nullptr;
