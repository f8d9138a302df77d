# Fake of NVDA's baseObject: AutoPropertyObject turns _get_x/_set_x methods into a property x.


class AutoPropertyType(type):
	def __init__(cls, name, bases, namespace):
		super().__init__(name, bases, namespace)
		names = {
			attribute[5:]
			for attribute in namespace
			if attribute.startswith(("_get_", "_set_")) and len(attribute) > 5
		}
		for propertyName in names:
			getter = getattr(cls, "_get_" + propertyName, None)
			setter = getattr(cls, "_set_" + propertyName, None)
			setattr(cls, propertyName, property(getter, setter))


class AutoPropertyObject(metaclass=AutoPropertyType):
	pass
