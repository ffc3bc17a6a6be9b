() => window.navigation ? navigation.canGoBack : history.length > 1
