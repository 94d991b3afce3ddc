#version 330
layout(std140) uniform Projection {
	mat4 mProjectionMatrix;
};
layout(std140) uniform Model {
	mat4 mModelViewMatrix;
	mat3 mNormalMatrix;
};
layout(location = 0) in vec4 vVertex;
layout(location = 2) in vec2 vTexCoord0;
out vec2 vTexCoord;

void main() {
	vTexCoord = vTexCoord0;
	gl_Position = mProjectionMatrix * mModelViewMatrix * vVertex;
}
