from kestrel_ifaces.srv._camera import Camera  # noqa: F401
